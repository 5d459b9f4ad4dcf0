#pragma once
// Runs the real program as a child process in a run folder, and talks to its window through X11
// the way a user's keyboard and window manager would.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

// Path of a test plug-in built next to the tests, relative to the run folder, where every
// ShowProcess puts the test plug-ins.
std::string testPlugin(const std::string& name);
// The same for the example plug-in built with the project (starburst).
std::string showPlugin(const std::string& name);
// Where the test plug-in was built.
std::string builtTestPlugin(const std::string& name);

class ShowProcess {
public:
    // Starts build/morveldan with the arguments, in the run folder (which holds data/demo.txt),
    // without sound; stdout and stderr go to files in that folder.
    ShowProcess(const std::filesystem::path& runFolder, const std::vector<std::string>& arguments);
    // Kills the program if it still runs.
    ~ShowProcess();
    ShowProcess(const ShowProcess&) = delete;
    ShowProcess& operator=(const ShowProcess&) = delete;

    pid_t pid() const { return pid_; }
    // True while the program runs.
    bool running();
    // Waits for the end; the exit status (128 + the signal's number when a signal killed it), or -1
    // when it did not end in time (it is then killed).
    int wait(std::chrono::seconds limit = std::chrono::seconds(60));
    // True when the program returned its status itself rather than being killed by a signal.
    bool exitedByItself() const;
    // The most memory the ended program held at once, in KiB.
    long peakKilobytes() const { return peakKilobytes_; }
    // After the end: true when no process the program started outlives it by more than 2 s
    // (those that do are killed).
    bool leftNothingRunning() const;
    std::string errorOutput() const;
    std::string standardOutput() const;

private:
    std::filesystem::path runFolder_;
    pid_t pid_ = -1;
    int status_ = -1;
    bool ended_ = false;
    long peakKilobytes_ = 0;
};

// Runs the program to its end and hands back the exit status (or -1 on a time-out).
struct ShowResult {
    int exitStatus = -1;
    std::string errorOutput;
};
ShowResult runShow(const std::filesystem::path& runFolder,
                   const std::vector<std::string>& arguments);

// The X11 display named by DISPLAY, for finding the program's windows and sending them events.
class XDisplay {
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool available() const { return display_ != nullptr; }
    // A mapped window of the process (by _NET_WM_PID) other than one titled `except`; 0 if none.
    unsigned long windowOfProcess(pid_t pid, const std::string& except = "");
    // A mapped window with this title; 0 if none.
    unsigned long windowTitled(const std::string& title);
    // A press and release of a key (an X keysym name such as "Escape") sent to the window.
    void sendKey(unsigned long window, const char* keysymName);
    // A press alone, or a release alone.
    void sendKeyEvent(unsigned long window, const char* keysymName, bool press);
    // The window manager's close request (WM_DELETE_WINDOW).
    void sendCloseRequest(unsigned long window);

private:
    void* display_ = nullptr;
};

// Polls `condition` every 50 ms until it holds or the limit passes.
template <class Condition> bool waitUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        struct timespec pause = {0, 50'000'000};
        nanosleep(&pause, nullptr);
    }
    return true;
}
