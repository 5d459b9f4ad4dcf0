#pragma once
// The script's keywords and the extra lines each entry reads after its start and end time.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ExtraLine {
    bool number = false;      // read as a number; otherwise as text
    std::string_view meaning; // for messages: "the seed", "the image path", ...
};

struct ScriptKeyword {
    std::string_view keyword;
    ExtraLine extra[2];
    int extraCount = 0;
    bool pluginReadsMore = false; // a plug-in's Init reads its own lines after these
};

// Every keyword, in the order they are looked up.
std::span<const ScriptKeyword> scriptKeywords();

// The keyword's row; null when the keyword is not in the table (compared exactly).
const ScriptKeyword* findScriptKeyword(std::string_view keyword);

// "the seed", "the image path and the mode word", ...; empty for a keyword without extra lines.
std::string describeExtraLines(const ScriptKeyword& keyword);

// One entry's values, read as its keyword's row says.
struct EntryValues {
    int32_t start = 0, end = 0;
    std::vector<std::string> texts; // the text extra lines, in order
    std::vector<int32_t> numbers;   // the number extra lines, in order
    FILE* script = nullptr;         // where a plug-in reads its own lines
};
