#pragma once
// The keyword table: makes the effect a script entry names, reading the entry's extra lines.

#include "timeline/Effekt.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Null when the keyword is not in the table. Extra lines are read from the script stream.
std::unique_ptr<Effekt> makeEffect(const std::string& keyword, int32_t start, int32_t end,
                                   FILE* script);

// True when the keyword is in the table.
bool isKnownEffect(const std::string& keyword);

// Every keyword of the table, in table order.
std::vector<std::string_view> knownKeywords();
