#pragma once
// A show read from the script text of a test, its entries made by rows of the test's own (a family
// added is one row; a keyword of the program's own stands in for the program's family) and by the
// program's families, for tests that draw it through the frame functions or edit it. Nothing is
// drawn while it loads and no music is decoded: the test plays its own.

#include "timeline/Show.h"

#include <memory>
#include <string>
#include <vector>

struct TestShow {
    std::vector<EffectFamily> families; // the rows the show's entries point to
    std::unique_ptr<Show> show;

    Show& operator*() { return *show; }
    Show* operator->() { return show.get(); }
};

// `entries` is the script after its header: keyword, start, end and extra lines of each entry.
TestShow makeTestShow(const std::string& entries, std::vector<EffectFamily> rows = {},
                      TrackSet tracks = {}, int32_t startOffset = 0);

// The program's families, each making effects that draw nothing (shows read without a window).
std::vector<EffectFamily> plainFamilies();

// A row for an effect class of a test, made from its entry's start and end.
template <class EffectClass>
EffectFamily testFamily(std::string_view keyword, std::vector<ExtraLine> extraLines = {}) {
    return {.keyword = keyword,
            .summary = "a test's own effect",
            .extraLines = std::move(extraLines),
            .make = [](const EffectContext&, const EntryValues& values) -> std::unique_ptr<Effekt> {
                return std::make_unique<EffectClass>(values.start, values.end);
            }};
}
