#include "platform/StopSignals.h"

#include "platform/Error.h"

#include <SDL2/SDL.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t receivedSignal = 0;

void noteSignal(int signal) { receivedSignal = signal; }

} // namespace

void catchStopSignals() {
    // SDL would turn the signals into a quit event, the window's "You quit?".
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int stopSignal() { return receivedSignal; }

void throwIfStopped(const char* message) {
    if (const int signal = stopSignal())
        throw Interrupted(signal, message);
}
