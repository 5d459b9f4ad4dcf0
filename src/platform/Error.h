#pragma once
// The one exception type of the program: a message text that ends the run and reaches the
// entry's handler, which reports it.

#include <cstdarg>
#include <stdexcept>
#include <string>

class ShowError : public std::runtime_error {
  public:
    explicit ShowError(const std::string& message) : std::runtime_error(message) {}
};

// The end of the show that still goes through the error path: the end-of-show entry or the viewer
// closing the window. It is reported like an error, but a live run that ends this way succeeded.
class ShowEnded : public ShowError {
public:
    using ShowError::ShowError;
};

// SIGINT or SIGTERM arrived: the run unwinds and ends with status 128 + the signal's number. The
// message may be empty (a live show ends quietly).
class Interrupted : public ShowError {
public:
    Interrupted(int signal, const std::string& message) : ShowError(message), signal_(signal) {}
    int signal() const { return signal_; }

private:
    int signal_;
};

// printf-style formatting into a string of whatever length the result needs.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatTextV(const char* format, va_list args);

// Formats and throws a ShowError.
[[noreturn]] void raise(const char* format, ...) __attribute__((format(printf, 1, 2)));
