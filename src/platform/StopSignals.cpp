#include "platform/StopSignals.h"

#include "platform/Error.h"

#include <SDL2/SDL.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

namespace {

volatile std::sig_atomic_t receivedSignal = 0;

// The partial files a forced stop removes; a slot whose flag is set holds a path.
constexpr int partialSlots = 8;
char partialPaths[partialSlots][PATH_MAX];
std::atomic<bool> partialUsed[partialSlots];

void armForcedStop(double seconds) {
    itimerval timer = {};
    timer.it_value.tv_sec = time_t(seconds);
    timer.it_value.tv_usec = suseconds_t((seconds - double(time_t(seconds))) * 1e6);
    setitimer(ITIMER_REAL, &timer, nullptr);
}

void noteSignal(int signal) {
    receivedSignal = signal;
    armForcedStop(forcedStopSeconds);
}

// Only what is safe in a signal handler: unlink, write, _exit.
void forceStop(int) {
    endProcessNow("morveldan: stopped by a signal while busy\n", 128 + receivedSignal);
}

} // namespace

void endProcessNow(const char* message, int status) {
    for (int slot = 0; slot < partialSlots; ++slot)
        if (partialUsed[slot].load())
            unlink(partialPaths[slot]);
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, std::strlen(message));
    _exit(status);
}

void catchStopSignals() {
    // SDL would turn the signals into a quit event, the window's "You quit?".
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction force = {};
    force.sa_handler = forceStop;
    sigemptyset(&force.sa_mask);
    sigaction(SIGALRM, &force, nullptr);
}

int stopSignal() { return receivedSignal; }

void throwIfStopped(const char* message) {
    if (const int signal = stopSignal())
        throw Interrupted(signal, message);
}

void stopUnwound() {
    if (stopSignal())
        armForcedStop(0);
}

PartialFile::PartialFile(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return;
    for (int slot = 0; slot < partialSlots; ++slot) {
        if (partialUsed[slot].load())
            continue;
        std::memcpy(partialPaths[slot], path.c_str(), path.size() + 1);
        partialUsed[slot].store(true);
        slot_ = slot;
        return;
    }
}

PartialFile::~PartialFile() {
    if (slot_ >= 0)
        partialUsed[slot_].store(false);
}
