#pragma once
// The profile of a show: what each script entry cost to draw, as a table for people or as CSV.

#include "timeline/EntryTimer.h"

#include <string>
#include <vector>

// One row per entry and a row for the frame clears, as a table for people or as CSV.
struct ProfileReport {
    std::vector<std::string> keywords; // per entry, in script order
    std::vector<EntryCost> entries;
    EntryCost clears;     // clearing the frame, once per frame
    EntryCost emptyFrame; // a cleared, finished frame, measured alone
    std::string heading;  // what was profiled (size, rate, span)

    std::string table() const;
    std::string csv() const;
};
