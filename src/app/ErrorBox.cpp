#include "app/ErrorBox.h"

#include "platform/Debug.h"
#include "platform/StopSignals.h"

#include <SDL2/SDL.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

namespace {

constexpr int boxNotShown = 2;

// The box's process group: the child and the process SDL starts to draw the box.
void endBoxGroup(int) { kill(0, SIGKILL); }

[[noreturn]] void runBox(pid_t parent, const std::string& message) {
    setpgid(0, 0);
    signal(SIGINT, SIG_IGN);
    signal(SIGTERM, endBoxGroup);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        endBoxGroup(0);
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", message.c_str(), nullptr) != 0) {
        debugLine("The message box could not be shown: %s", SDL_GetError());
        _exit(boxNotShown);
    }
    _exit(0);
}

// The box's status once it has ended, or -1 when a stop signal ended it first.
int waitForBox(pid_t box) {
    for (;;) {
        int status = 0;
        if (waitpid(box, &status, WNOHANG) == box)
            return status;
        if (stopSignal()) {
            kill(-box, SIGKILL);
            kill(box, SIGKILL);
            waitpid(box, &status, 0);
            return -1;
        }
        const timespec pause = {0, 20'000'000};
        nanosleep(&pause, nullptr);
    }
}

} // namespace

bool showErrorBox(const std::string& message) {
    const pid_t parent = getpid();
    const pid_t box = fork();
    if (box < 0) {
        debugLine("The message box could not be shown: no process for it");
        return false;
    }
    if (box == 0)
        runBox(parent, message);
    const int status = waitForBox(box);
    return status < 0 || !(WIFEXITED(status) && WEXITSTATUS(status) == boxNotShown);
}
