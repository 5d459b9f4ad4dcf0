#pragma once
// The table of effect families: one row for each keyword of the script, saying which extra lines
// its entries read, how its effect is made, the data files it reads and what it draws in one line.
// The script's reader, the factory, `--check`, `--help`, the starter show and the tests read it.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ExtraLine {
    bool number = false;      // read as a number; otherwise as text
    std::string_view meaning; // for messages: "the seed", "the image path", ...
};

// One entry's values, read as its family's row says.
struct EntryValues {
    int32_t start = 0, end = 0;
    std::vector<std::string> texts; // the text extra lines, in order
    std::vector<int32_t> numbers;   // the number extra lines, in order
    FILE* script = nullptr;         // where a plug-in reads its own lines
};

using MakeEffect = std::unique_ptr<Effekt> (*)(const EffectContext& context,
                                               const EntryValues& values);

struct EffectFamily {
    std::string_view keyword = {};
    std::string_view summary = {}; // what it draws, one line
    std::vector<ExtraLine> extraLines = {};
    MakeEffect make = nullptr;
    std::vector<std::string_view> files = {}; // the data files it always reads
    bool readsOwnLines = false;               // a plug-in's Init reads lines of its own after these
    bool endsShow = false;                    // the show ends at the start of its window
    bool keepsUnknownPictures = false;        // may keep anything from frame to frame
};

// The built-in families, in the order keywords are looked up.
std::span<const EffectFamily> effectFamilies();

// The keyword's row among `families` (compared exactly); null when there is none.
const EffectFamily* findFamily(std::span<const EffectFamily> families, std::string_view keyword);

// "the seed", "the image path and the mode word", ...; empty for a family without extra lines.
std::string describeExtraLines(const EffectFamily& family);

// Makes an effect of the family's class whose entry has no extra lines: the maker of most rows.
template <class EffectClass>
std::unique_ptr<Effekt> makePlain(const EffectContext& context, const EntryValues& values) {
    return std::make_unique<EffectClass>(context, values.start, values.end);
}
