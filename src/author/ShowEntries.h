#pragma once
// What the timeline strip knows of each script entry: keyword, window, the script line it starts
// on, its extra lines, and the strip row it is drawn on.

#include "effekt/Effekt.h"

#include <cstdint>
#include <string>
#include <vector>

struct ShowEntry {
    std::string keyword;
    uint32_t start = 0;
    uint32_t end = 0;
    int line = 0;                   // script line of the keyword, from 1; 0 when it was not found
    int startLine = 0, endLine = 0; // the lines of its times (0 with line 0)
    int lastLine = 0;               // its last value line (0 with line 0)
    std::vector<std::string> extraLines;
    int row = 0;
};

// The loaded effects (with their keywords, in list order) described from the script's text.
// The keyword lines are found in order among the script's value lines (those not starting with
// '#'), after the three header lines; an entry's extra lines are the value lines between its end
// time and the next entry.
std::vector<ShowEntry> describeEntries(const std::string& scriptText, const EffectList& effects,
                                       const std::vector<std::string>& keywords);

// Puts every entry on the first row where it overlaps no entry that starts earlier (entries that
// only touch share a row); returns the number of rows.
int packRows(std::vector<ShowEntry>& entries);
