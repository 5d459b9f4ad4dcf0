#pragma once
// What the timeline strip knows of each script entry: keyword, window, the script line it starts
// on, its extra lines, and the strip row it is drawn on.

#include "effekt/Effekt.h"

class Show;

#include <cstdint>
#include <string>
#include <vector>

struct ShowEntry {
    std::string keyword;
    uint32_t start = 0;
    uint32_t end = 0;
    int line = 0;                   // script line of the keyword, from 1
    int startLine = 0, endLine = 0; // the lines of its times
    int lastLine = 0;               // its last value line
    std::vector<std::string> extraLines;
    int row = 0;
};

// The show's entries, with their times as their effects have them now and their extra lines (the
// value lines, not starting with '#', after the end time up to the last line the entry read)
// taken from the script's text.
std::vector<ShowEntry> describeEntries(const Show& show, const std::string& scriptText);

// Puts every entry on the first row where it overlaps no entry that starts earlier (entries that
// only touch share a row); returns the number of rows.
int packRows(std::vector<ShowEntry>& entries);
