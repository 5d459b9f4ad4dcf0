#pragma once
// Debug output: diagnostics that are not errors, written to standard error and flushed.

#include <string>
#include <string_view>

// Writes the text as it is (callers put their own line ends).
void debugWrite(std::string_view text);

// Formats like printf and writes the result; a missing final line end is added.
void debugLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Turns the debug output off (for a run whose standard error must hold only its own report) or
// back on.
void setDebugOutput(bool enabled);

// While `into` is set, the debug output is added to it instead of written, whatever
// setDebugOutput said (a child process hands its output to the program this way); null writes
// again.
void divertDebugOutput(std::string* into);
