#include "platform/Debug.h"

#include "platform/Error.h"

#include <cstdio>

namespace {

bool debugOutputEnabled = true;
std::string* divertedDebugOutput = nullptr;

} // namespace

void setDebugOutput(bool enabled) { debugOutputEnabled = enabled; }

void divertDebugOutput(std::string* into) { divertedDebugOutput = into; }

void debugWrite(std::string_view text) {
    if (divertedDebugOutput) {
        divertedDebugOutput->append(text);
        return;
    }
    if (!debugOutputEnabled)
        return;
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void debugLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatTextV(format, args);
    va_end(args);
    if (text.empty() || text.back() != '\n')
        text += '\n';
    debugWrite(text);
}
