#pragma once
// Reading values from the timeline script: one value per line, "#" comment lines skipped.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Thrown when the script ends where a value line was expected.
struct ScriptEnded {};

// The next value line: at most 1023 characters (a longer line is read in parts), comment lines
// (first character '#') skipped, trailing spaces, tabs, CR and LF removed; NUL bytes are kept.
// Throws ScriptEnded when the file ends before a value line is found. When `offset` is given, it
// receives the stream position at which the value's line (or part) begins.
std::string readScriptLine(FILE* script, long* offset = nullptr);

// How a number line reads.
enum class NumberForm {
    Number,     // digits that fit in 32 bits, signed or unsigned (4294967295 is -1)
    NoDigits,   // no digits: reads as 0
    OutOfRange, // beyond 32 bits
    HoldsNul,   // a NUL byte somewhere in the line
};

struct ScriptNumber {
    int32_t value = 0; // bit for bit what the digits give; 0 unless the form is Number
    NumberForm form = NumberForm::NoDigits;
};

// The line converted as atoi converts it (leading white space, an optional sign, decimal digits
// up to the first other character), with its form.
ScriptNumber parseScriptNumber(std::string_view line);

// readScriptLine converted by parseScriptNumber; 0 unless the line is a number.
int readScriptNumber(FILE* script);

// True when only comment lines and blank lines remain; otherwise the stream is left where it was.
bool scriptAtEnd(FILE* script);

// A script as the reader and the plug-ins see it: a leading UTF-8 byte-order mark dropped and
// every CR-LF turned into LF, in a memory stream that can tell the file's line at any position.
class ScriptText {
public:
    // `name` is the file name used in messages.
    ScriptText(std::string name, std::string_view bytes);
    ~ScriptText();
    ScriptText(const ScriptText&) = delete;
    ScriptText& operator=(const ScriptText&) = delete;


    FILE* stream() const { return stream_; }
    const std::string& name() const { return name_; }
    // The file's line (from 1) holding the stream position.
    int lineAt(long position) const;
    // The line of the next character to be read.
    int currentLine() const { return lineAt(std::ftell(stream_)); }

private:
    std::string name_;
    std::string text_;
    std::vector<size_t> lineStarts_;
    FILE* stream_ = nullptr;
};
