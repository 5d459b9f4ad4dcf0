#include "timeline/ScriptReader.h"

#include <algorithm>

namespace {

constexpr size_t linePartSize = 1023;

// Reads like fgets into a buffer of 1024: up to 1023 characters, stopping after a line feed. NUL
// bytes are kept. False when the stream is at its end.
bool readPart(FILE* script, std::string& part) {
    part.clear();
    int c = 0;
    while (part.size() < linePartSize && (c = std::getc(script)) != EOF) {
        part += char(c);
        if (c == '\n')
            break;
    }
    return !part.empty();
}

bool endsLine(const std::string& part) { return !part.empty() && part.back() == '\n'; }

void trimTrailingSpace(std::string& line) {
    while (!line.empty()) {
        const char last = line.back();
        if (last != ' ' && last != '\t' && last != '\r' && last != '\n')
            break;
        line.pop_back();
    }
}

// Skips what is left of a comment line whose first part has been read.
void skipRestOfLine(FILE* script, std::string& part) {
    while (!endsLine(part) && readPart(script, part)) {
    }
}

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

std::string readScriptLine(FILE* script, long* offset) {
    std::string part;
    for (;;) {
        const long start = std::ftell(script);
        if (!readPart(script, part))
            throw ScriptEnded{};
        if (part[0] == '#') {
            // Skip the rest of a long comment line too, so its tail is not read as a value.
            skipRestOfLine(script, part);
            continue;
        }
        if (offset)
            *offset = start;
        trimTrailingSpace(part);
        return part;
    }
}

ScriptNumber parseScriptNumber(std::string_view line) {
    if (line.find('\0') != std::string_view::npos)
        return {0, NumberForm::HoldsNul};
    size_t at = 0;
    while (at < line.size() && isSpace(line[at]))
        ++at;
    const bool negative = at < line.size() && line[at] == '-';
    if (at < line.size() && (line[at] == '-' || line[at] == '+'))
        ++at;
    constexpr int64_t largest = int64_t(UINT32_MAX);
    constexpr int64_t smallest = int64_t(INT32_MIN);
    int64_t magnitude = 0;
    bool digits = false;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
        digits = true;
        magnitude = std::min(magnitude * 10 + (line[at] - '0'), largest + 1);
    }
    if (!digits)
        return {0, NumberForm::NoDigits};
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > largest || value < smallest)
        return {0, NumberForm::OutOfRange};
    return {int32_t(uint32_t(value)), NumberForm::Number};
}

int readScriptNumber(FILE* script) { return parseScriptNumber(readScriptLine(script)).value; }

bool scriptAtEnd(FILE* script) {
    const long start = std::ftell(script);
    std::string part;
    // Parts are classified as readScriptLine classifies them: a part starting with '#' begins a
    // comment that lasts to the end of its line.
    bool lineStart = true, inComment = false;
    while (readPart(script, part)) {
        if (lineStart || !inComment)
            inComment = part[0] == '#';
        lineStart = endsLine(part);
        if (inComment)
            continue;
        trimTrailingSpace(part);
        if (!part.empty()) {
            std::fseek(script, start, SEEK_SET);
            return false;
        }
    }
    return true;
}

// --- The normalised script ------------------------------------------------------------------

ScriptText::ScriptText(std::string name, std::string_view bytes) : name_(std::move(name)) {
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, byteOrderMark.size()) == byteOrderMark)
        bytes.remove_prefix(byteOrderMark.size());
    text_.reserve(bytes.size());
    lineStarts_.push_back(0);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text_ += bytes[i];
        if (bytes[i] == '\n')
            lineStarts_.push_back(text_.size());
    }
    // A memory stream reads exactly text_.size() bytes, NULs included; it never writes.
    stream_ = fmemopen(text_.data(), text_.size(), "r");
    if (!stream_)
        throw std::bad_alloc();
}

ScriptText::~ScriptText() { std::fclose(stream_); }

int ScriptText::lineAt(long position) const {
    const size_t at = position < 0 ? 0 : size_t(position);
    return int(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), at) - lineStarts_.begin());
}
