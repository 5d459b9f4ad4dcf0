#include "timeline/ScriptReader.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int linePartSize = 1024; // 1023 characters and the terminating NUL

void trimTrailingSpace(std::string& line) {
    while (!line.empty()) {
        const char last = line.back();
        if (last != ' ' && last != '\t' && last != '\r' && last != '\n')
            break;
        line.pop_back();
    }
}

} // namespace

std::string readScriptLine(FILE* script) {
    char part[linePartSize];
    for (;;) {
        if (!std::fgets(part, sizeof part, script))
            throw ScriptEnded{};
        if (part[0] == '#') {
            // Skip the rest of a long comment line too, so its tail is not read as a value.
            std::string comment(part);
            while (!comment.empty() && comment.back() != '\n' &&
                   std::fgets(part, sizeof part, script))
                comment = part;
            continue;
        }
        std::string line(part);
        trimTrailingSpace(line);
        return line;
    }
}

int readScriptNumber(FILE* script) { return std::atoi(readScriptLine(script).c_str()); }

bool scriptAtEnd(FILE* script) {
    const long start = std::ftell(script);
    char part[linePartSize];
    // Parts are classified as readScriptLine classifies them: a part starting with '#' begins a
    // comment that lasts to the end of its line.
    bool lineStart = true, inComment = false;
    while (std::fgets(part, sizeof part, script)) {
        const size_t length = std::strlen(part);
        if (lineStart || !inComment)
            inComment = part[0] == '#';
        lineStart = length > 0 && part[length - 1] == '\n';
        if (inComment)
            continue;
        std::string text(part, length);
        trimTrailingSpace(text);
        // A part cut short by a NUL byte is not blank: readScriptLine returns it as a value.
        if (!text.empty() || length == 0) {
            std::fseek(script, start, SEEK_SET);
            return false;
        }
    }
    return true;
}
