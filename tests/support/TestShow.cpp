#include "TestShow.h"

#include <string>

TestShow makeTestShow(const std::string& entries, std::vector<EffectFamily> rows, TrackSet tracks,
                      int32_t startOffset) {
    TestShow test;
    test.families = std::move(rows);
    test.families.insert(test.families.end(), effectFamilies().begin(), effectFamilies().end());
    ShowOptions options;
    options.rules.families = test.families;
    options.tracks = std::move(tracks);
    options.reach = FileReach::Anywhere; // tests name files in their own folders
    test.show = readShow("none.ogg\n" + std::to_string(startOffset) + "\n0\n" + entries,
                         std::move(options));
    return test;
}

namespace {

class PlainEffect : public Effekt {
public:
    using Effekt::Effekt;
    void draw(uint32_t, float) override {}
};

} // namespace

std::vector<EffectFamily> plainFamilies() {
    std::vector<EffectFamily> families(effectFamilies().begin(), effectFamilies().end());
    for (EffectFamily& family : families)
        family.make = testFamily<PlainEffect>(family.keyword).make;
    return families;
}
