#pragma once
// The effect classes behind the script's keywords (timeline/ScriptKeywords.h says which extra
// lines each entry reads).

#include "effekt/Effekt.h"
#include "timeline/ScriptKeywords.h"

#include <memory>
#include <string>

// Makes the effect the keyword names from the entry's values; null when no class has the keyword.
std::unique_ptr<Effekt> makeEffect(const std::string& keyword, const EntryValues& values);

// True when an effect class has the keyword.
bool isKnownEffect(const std::string& keyword);

// The same, reading the entry's extra lines from the stream as plain values, without the
// loader's checks (for tools and tests that make single effects).
std::unique_ptr<Effekt> makeEffect(const std::string& keyword, int32_t start, int32_t end,
                                   FILE* script);
