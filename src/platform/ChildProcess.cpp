#include "platform/ChildProcess.h"

#include "platform/Error.h"
#include "platform/StopSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

namespace {

// Exit statuses of the child besides 0 (its owner closed the connection).
constexpr int outOfMemory = 3;
constexpr int workFailed = 4;

// The address space the process has mapped now, in bytes (0 when it cannot be told).
size_t mappedBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    unsigned long pages = 0;
    const bool read = std::fscanf(statm, "%lu", &pages) == 1;
    std::fclose(statm);
    return read ? size_t(pages) * size_t(sysconf(_SC_PAGESIZE)) : 0;
}

void limitChild(const ChildLimits& limits) {
    prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives its owner, even one killed
    const rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (const size_t mapped = mappedBytes()) {
        const rlimit memory = {mapped + limits.extraBytes, mapped + limits.extraBytes};
        setrlimit(RLIMIT_AS, &memory);
    }
    // Ctrl+C reaches the whole process group: the child simply ends, its owner unwinds.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

// Sends or receives all `size` bytes, a part at a time; false when the other end has gone.
template <class Bytes, class Transfer> bool transferAll(Bytes* bytes, size_t size, Transfer part) {
    while (size > 0) {
        const ssize_t count = part(bytes, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes += count;
        size -= size_t(count);
    }
    return true;
}

bool writeAll(int fd, const void* data, size_t size) {
    // A child that has ended raises no SIGPIPE; the send fails.
    return transferAll(static_cast<const char*>(data), size, [fd](const char* bytes, size_t n) {
        return send(fd, bytes, n, MSG_NOSIGNAL);
    });
}

bool readAll(int fd, void* data, size_t size) {
    return transferAll(static_cast<char*>(data), size,
                       [fd](char* bytes, size_t n) { return read(fd, bytes, n); });
}

// A request or an answer: its length in 8 bytes, then its bytes.
template <class Bytes> bool writeMessage(int fd, const Bytes& message) {
    const uint64_t length = message.size();
    return writeAll(fd, &length, sizeof length) && writeAll(fd, message.data(), message.size());
}

template <class Bytes> bool readMessage(int fd, Bytes& message) {
    uint64_t length = 0;
    if (!readAll(fd, &length, sizeof length))
        return false;
    message.resize(length);
    return readAll(fd, message.data(), length);
}

void closeFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

using Clock = std::chrono::steady_clock;

// Waits until the file can be read, the deadline passes (false) or a stop signal arrives
// (Interrupted, thrown by the caller's check).
bool readableBefore(int fd, Clock::time_point deadline) {
    for (;;) {
        throwIfStopped();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wait = {fd, POLLIN, 0};
        // Short waits, so that a stop signal is acted on at once however poll treats it.
        if (poll(&wait, 1, int(std::min<long long>(left.count(), 100))) > 0)
            return true;
    }
}

} // namespace

ChildWorker::ChildWorker(Work work, ChildLimits limits) : work_(std::move(work)), limits_(limits) {}

ChildWorker::~ChildWorker() {
    if (child_ > 0)
        end();
}

void ChildWorker::start() {
    if (child_ > 0)
        return;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        raise("Unable to make a socket pair: %s", std::strerror(errno));
    std::fflush(nullptr); // what is buffered is written once, by the owner
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        serve(ends[1]);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        raise("Unable to start a child process: %s", std::strerror(errno));
    }
    child_ = child;
    socket_ = ends[0];
}

void ChildWorker::serve(int socket) {
    limitChild(limits_);
    int status = 0;
    try {
        std::string request;
        while (readMessage(socket, request))
            if (!writeMessage(socket, work_(request)))
                break;
    } catch (const std::bad_alloc&) {
        status = outOfMemory;
    } catch (...) {
        status = workFailed;
    }
    _exit(status);
}

std::string ChildWorker::end() {
    closeFd(socket_);
    kill(child_, SIGKILL);
    int status = 0;
    while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
    if (WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL)
        return formatText("crashed (%s)", strsignal(WTERMSIG(status)));
    if (WIFEXITED(status) && WEXITSTATUS(status) == outOfMemory)
        return formatText("needs more than %zu MiB of memory", limits_.extraBytes >> 20);
    return "failed";
}

ChildOutcome ChildWorker::ask(const std::string& request) {
    throwIfStopped();
    start();
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(limits_.seconds));
    ChildOutcome outcome;
    bool answering = false;
    try {
        // The answer's first bytes come when the work is done; the rest follows at once.
        if (!writeMessage(socket_, request)) {
            outcome.failure = end();
            return outcome;
        }
        answering = readableBefore(socket_, deadline);
    } catch (const Interrupted&) {
        end();
        throw;
    }
    if (!answering) {
        end();
        outcome.failure = formatText("took longer than %g s", limits_.seconds);
        return outcome;
    }
    if (!readMessage(socket_, outcome.answer)) {
        outcome.answer.clear();
        outcome.failure = end();
        return outcome;
    }
    outcome.finished = true;
    return outcome;
}

namespace {

// The exit status a shell gives a process that ended with this wait status.
int exitStatusOf(int waitStatus) {
    return WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : WEXITSTATUS(waitStatus);
}

// This process's environment with `added` in place of the variables of the same names.
std::vector<std::string> environmentWith(const std::vector<std::string>& added) {
    const auto nameOf = [](const std::string& variable) {
        return variable.substr(0, variable.find('='));
    };
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) {
        const std::string text = *variable;
        if (std::none_of(added.begin(), added.end(),
                         [&](const std::string& a) { return nameOf(a) == nameOf(text); }))
            variables.push_back(text);
    }
    variables.insert(variables.end(), added.begin(), added.end());
    return variables;
}

std::vector<char*> pointersTo(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProgram::ChildProgram(const std::vector<std::string>& arguments, const std::string& logFile,
                           const std::vector<std::string>& environment) {
    const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int execFailure[2];
    if (log < 0 || pipe2(execFailure, O_CLOEXEC) != 0) {
        const int error = errno;
        if (log >= 0)
            close(log);
        raise("Unable to start %s: %s", arguments.front().c_str(), std::strerror(error));
    }
    std::vector<std::string> words = arguments;
    std::vector<std::string> variables = environmentWith(environment);
    const std::vector<char*> argv = pointersTo(words);
    const std::vector<char*> envp = pointersTo(variables);
    const pid_t owner = getpid();
    child_ = fork();
    if (child_ == 0) {
        // Only what is safe between fork and exec: it never outlives its owner, even one killed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != owner)
            _exit(127);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        execve(argv.front(), argv.data(), envp.data());
        const int error = errno;
        [[maybe_unused]] const ssize_t written = write(execFailure[1], &error, sizeof error);
        _exit(127);
    }
    const int forkError = errno;
    close(log);
    close(execFailure[1]);
    int error = child_ < 0 ? forkError : 0;
    if (child_ > 0 && read(execFailure[0], &error, sizeof error) == sizeof error) {
        waitpid(child_, nullptr, 0);
        child_ = -1;
    }
    close(execFailure[0]);
    if (child_ < 0)
        raise("Unable to start %s: %s", arguments.front().c_str(), std::strerror(error));
}

// Asked to end, it has a second to do so (a render removes its partial file) before it is
// killed, so that it ends before its owner's own forced stop.
ChildProgram::~ChildProgram() {
    if (child_ < 0)
        return;
    stop();
    const auto killAt = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    int status = 0;
    while (waitpid(child_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > killAt) {
            kill(child_, SIGKILL);
            while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
            }
            return;
        }
        const timespec pause = {0, 10'000'000};
        nanosleep(&pause, nullptr);
    }
}

std::optional<int> ChildProgram::exitStatus() {
    int status = 0;
    if (child_ > 0 && waitpid(child_, &status, WNOHANG) == child_) {
        child_ = -1;
        status_ = exitStatusOf(status);
    }
    return status_;
}

void ChildProgram::stop() {
    if (child_ > 0)
        kill(child_, SIGTERM);
}
