// The default show script: every entry names a known effect, starts and ends on a bar of the
// music, names files that exist, and together they use every effect once at least, ending the
// show just before the music ends.
#include "../../tools/makeassets/SongLayout.h"
#include "TestShow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string keyword;
    int start = 0, end = 0;
    std::vector<std::string> extra; // the value lines after its times, as the table reads them
};

struct Script {
    std::string music;
    int startOffset = 0, entryCount = 0;
    std::vector<Entry> entries;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The script read as the program reads it, through the table of families, without drawing.
Script readDefaultShow() {
    Script script;
    const std::string text = fileText(MORVELDAN_SOURCE_DIR "/data/demo.txt");
    const std::vector<EffectFamily> families = plainFamilies();
    ShowCheck check; // goes on past the lines the plug-in would read itself
    ShowOptions options;
    options.rules.families = families;
    options.check = &check;
    const std::unique_ptr<Show> show = readShow(text, options);
    std::vector<std::string> lines(1);
    std::string line;
    for (std::istringstream all(text); std::getline(all, line);)
        lines.push_back(line);
    script.music = show->header().musicFile;
    script.startOffset = show->header().startOffset;
    script.entryCount = show->header().entryCount;
    for (size_t i = 0; i < show->effects().size(); ++i) {
        const Effekt& effect = *show->effects()[i];
        const EntryLines& at = show->entries()[i].lines;
        Entry entry{std::string(show->entries()[i].family->keyword),
                    int(effect.startTime),
                    int(effect.endTime),
                    {}};
        for (int value = at.end + 1; value <= at.last; ++value)
            entry.extra.push_back(lines[size_t(value)]);
        script.entries.push_back(entry);
    }
    // A check lists plug-ins without making them: their library is the line after the times.
    for (const ShowCheck::Entry& listed : check.entries)
        if (listed.keyword == "Plugin")
            script.entries.push_back({listed.keyword,
                                      int(listed.start),
                                      int(listed.end),
                                      {lines[size_t(listed.line) + 3]}});
    return script;
}

// Families the default show leaves to the examples: they came beside the show's own.
const std::set<std::string> playedByExamplesOnly = {"ShaderToy"};

bool onABar(int milliseconds) {
    const double bars = milliseconds / (song::secondsPerBar * 1000);
    return std::fabs(bars - std::round(bars)) < 1e-9;
}

} // namespace

TEST(DefaultShow, HeaderNamesTheGeneratedMusicAndCountsTheEntries) {
    const Script script = readDefaultShow();
    EXPECT_EQ(script.music, "data/music.ogg");
    EXPECT_EQ(script.startOffset, 0);
    EXPECT_EQ(script.entryCount, int(script.entries.size()));
}

TEST(DefaultShow, EveryEntryIsKnownLiesOnBarsAndNamesExistingFiles) {
    const Script script = readDefaultShow();
    ASSERT_FALSE(script.entries.empty());
    const int songEnd = int(std::lround(song::barSeconds(song::totalBars) * 1000));
    for (const Entry& entry : script.entries) {
        SCOPED_TRACE(entry.keyword + " " + std::to_string(entry.start));
        EXPECT_TRUE(onABar(entry.start));
        EXPECT_TRUE(onABar(entry.end));
        EXPECT_LT(entry.start, entry.end);
        EXPECT_LE(entry.end, songEnd);
        for (const std::string& value : entry.extra) {
            const bool isFile = value.find('/') != std::string::npos;
            if (isFile) {
                EXPECT_TRUE(fs::exists(fs::path(MORVELDAN_BUILD_DIR) / value)) << value;
            }
        }
    }
}

TEST(DefaultShow, UsesEveryEffectAndEndsJustBeforeTheMusic) {
    const Script script = readDefaultShow();
    std::set<std::string> used;
    for (const Entry& entry : script.entries)
        used.insert(entry.keyword);
    for (const EffectFamily& family : effectFamilies()) {
        const std::string keyword(family.keyword);
        EXPECT_TRUE(used.count(keyword) || playedByExamplesOnly.count(keyword))
            << keyword << " is never used";
    }

    const Entry* endDemo = nullptr;
    int latestEnd = 0;
    for (const Entry& entry : script.entries) {
        if (entry.keyword == "EndDemo")
            endDemo = &entry;
        latestEnd = std::max(latestEnd, entry.end);
    }
    ASSERT_NE(endDemo, nullptr);
    const double songEnd = song::barSeconds(song::totalBars) * 1000;
    // The show ends in the last two bars, while the music still plays.
    EXPECT_GE(endDemo->start, songEnd - 2 * song::secondsPerBar * 1000);
    EXPECT_LT(endDemo->start, songEnd);
    for (const Entry& entry : script.entries)
        EXPECT_LE(entry.start, endDemo->start) << entry.keyword << " would never be seen";
}
