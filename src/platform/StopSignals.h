#pragma once
// SIGINT and SIGTERM end a run through its normal unwinding: the handler notes the signal, and
// the loops that present frames, render or load ask for it. A run that has not unwound within
// forcedStopSeconds of the signal (stuck in a read that never returns) is ended there, with the
// same status, after its registered partial files are removed.

#include <string>

constexpr double forcedStopSeconds = 1.5;

// Installs the handlers (a second signal of the same kind ends the process at once) and tells SDL
// to leave them alone. Call before SDL is initialised.
void catchStopSignals();

// The signal that asked the run to stop, or 0.
int stopSignal();

// Throws Interrupted with the message when a stop signal has arrived.
void throwIfStopped(const char* message = "");

// The run has unwound after a stop signal: what is left is its ordinary exit, which the forced
// stop no longer cuts short.
void stopUnwound();

// Writes the message to stderr, removes the registered partial files and ends the process with the
// status at once, from any thread: for work that cannot be interrupted otherwise (a driver busy
// with one frame).
[[noreturn]] void endProcessNow(const char* message, int status);

// A file being written that a forced stop removes, for as long as the object lives (a render's
// temporary file, renamed into place when complete). Up to eight at a time are kept.
class PartialFile {
public:
    explicit PartialFile(const std::string& path);
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

private:
    int slot_ = -1;
};
