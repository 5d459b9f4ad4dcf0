#pragma once
// Child processes: work that may hang or fault (a third-party decoder reading a file from
// elsewhere) done by a forked child under a time and a memory limit, so that neither can reach
// the program; and a program run beside this one with its messages going to a log file.

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ChildLimits {
    double seconds = 10;                 // wall-clock time one request may take
    size_t extraBytes = size_t(4) << 30; // memory the child may map beyond what it began with
};

struct ChildOutcome {
    bool finished = false; // the work returned and its answer arrived in full
    std::vector<unsigned char> answer;
    std::string failure; // why not, when not finished: "took longer than 10 s", ...
};

// A child process that answers requests one at a time with `work`. It is forked at the first
// request and again after one that it did not finish (the child is then ended), and it ends with
// its owner. The child only runs `work`, so `work` must not rely on anything a fork does not copy
// (other threads, and the locks they may hold).
class ChildWorker {
public:
    using Work = std::function<std::vector<unsigned char>(const std::string& request)>;
    ChildWorker(Work work, ChildLimits limits);
    ~ChildWorker();
    ChildWorker(const ChildWorker&) = delete;
    ChildWorker& operator=(const ChildWorker&) = delete;

    // Forks the child now, when none runs: best while the program is small and has no other
    // threads (ask() forks it otherwise).
    void start();

    // The work's answer to the request. A stop signal while waiting ends the child and throws
    // Interrupted.
    ChildOutcome ask(const std::string& request);

private:
    Work work_;
    ChildLimits limits_;
    pid_t child_ = -1;
    int socket_ = -1; // the owner's end of a socket pair to the child

    std::string end(); // why the child ended, once it has
    [[noreturn]] void serve(int socket);
};

// A program running as a child process, its standard output and error written to a log file.
// One that still runs when its owner ends is asked to end (SIGTERM) and waited for, so a stop
// signal that unwinds the owner ends it too.
class ChildProgram {
public:
    // Starts the program at arguments[0] (a path) with the arguments; `environment` ("NAME=value"
    // each) is added to this process's own, replacing what it names. The log is made afresh.
    // Throws ShowError naming the program when it cannot be started.
    ChildProgram(const std::vector<std::string>& arguments, const std::string& logFile,
                 const std::vector<std::string>& environment = {});
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // Its exit status once it has ended (128 + the signal's number when a signal ended it), without
    // waiting; empty while it runs.
    std::optional<int> exitStatus();
    // Asks it to end (SIGTERM) without waiting, when it still runs.
    void stop();

private:
    pid_t child_ = -1; // until it has been waited for
    std::optional<int> status_;
};
