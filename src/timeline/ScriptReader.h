#pragma once
// Reading values from the timeline script: one value per line, "#" comment lines skipped.

#include <cstdio>
#include <string>

// Thrown when the script ends where a value line was expected.
struct ScriptEnded {};

// The next value line: at most 1023 characters (a longer line is read in parts), comment lines
// (first character '#') skipped, trailing spaces, tabs, CR and LF removed. Throws ScriptEnded when
// the file ends before a value line is found.
std::string readScriptLine(FILE* script);

// readScriptLine converted as atoi converts (no digits gives 0).
int readScriptNumber(FILE* script);

// True when only comment lines and blank lines remain; otherwise the stream is left where it was.
bool scriptAtEnd(FILE* script);
