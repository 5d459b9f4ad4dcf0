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

// printf-style formatting into a string of whatever length the result needs.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatTextV(const char* format, va_list args);

// Formats and throws a ShowError.
[[noreturn]] void raise(const char* format, ...) __attribute__((format(printf, 1, 2)));
