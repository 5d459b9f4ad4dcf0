// Test plug-in: Init reads two lines (a log file path and a label) and logs its call; every Draw
// appends its time and beat level to the log.
#include "morveldan/plugin.h"

#include <cstdio>
#include <cstring>

namespace {

FILE* logFile = nullptr;

// Removes only the line feed, as many plug-ins do: the script stream has no carriage returns.
void readLine(FILE* script, char* line, int size) {
    if (!std::fgets(line, size, script))
        line[0] = '\0';
    line[std::strcspn(line, "\n")] = '\0';
}

} // namespace

extern "C" MORVELDAN_PLUGIN_EXPORT void Init(FILE* script, int start, int end) {
    char path[1024], label[1024];
    readLine(script, path, sizeof path);
    readLine(script, label, sizeof label);
    logFile = std::fopen(path, "a");
    if (logFile) {
        std::fprintf(logFile, "init %s %d %d\n", label, start, end);
        std::fflush(logFile);
    }
}

extern "C" MORVELDAN_PLUGIN_EXPORT void Draw(int time, float beat) {
    if (logFile) {
        std::fprintf(logFile, "draw %u %.9g\n", unsigned(time), double(beat));
        std::fflush(logFile);
    }
}
