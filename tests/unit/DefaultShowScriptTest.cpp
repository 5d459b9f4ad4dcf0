// The default show script: every entry names a known effect, starts and ends on a bar of the
// music, names files that exist, and together they use every effect once at least, ending the
// show just before the music ends.
#include "../../tools/makeassets/SongLayout.h"
#include "effects/EffectFamily.h"
#include "timeline/ScriptReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string keyword;
    int start = 0, end = 0;
    std::vector<std::string> extra;
};

struct Script {
    std::string music;
    int startOffset = 0, entryCount = 0;
    std::vector<Entry> entries;
};

// Extra lines after the times: the files and values each keyword reads (the starburst plug-in
// reads one line of its own after its library path).
const std::map<std::string, int> extraLines = {
    {"AlphaBlendImage", 2}, {"ShaderShow", 2}, {"Plasma2D", 1}, {"Plugin", 2}};

Script readDefaultShow() {
    Script script;
    FILE* file = std::fopen(MORVELDAN_SOURCE_DIR "/data/demo.txt", "r");
    if (!file)
        return script;
    script.music = readScriptLine(file);
    script.startOffset = readScriptNumber(file);
    script.entryCount = readScriptNumber(file);
    while (!scriptAtEnd(file)) {
        Entry entry;
        entry.keyword = readScriptLine(file);
        entry.start = readScriptNumber(file);
        entry.end = readScriptNumber(file);
        auto count = extraLines.find(entry.keyword);
        for (int i = 0; count != extraLines.end() && i < count->second; ++i)
            entry.extra.push_back(readScriptLine(file));
        script.entries.push_back(entry);
    }
    std::fclose(file);
    return script;
}

constexpr const char* allKeywords[] = {
    "Plugin",      "ChaosZoomer", "Stroboskop", "Rubber3d",        "Plasma2D", "Brum",
    "Banger",      "ColorBox",    "Zoomba",     "Zoombb",          "Solaris",  "FlashWhite",
    "PolarCoords", "FogRotator",  "WalkCube",   "AlphaBlendImage", "Tunnel",   "Faces",
    "TwistBox",    "Circles",     "NanoBall",   "Overlays",        "EndDemo",  "ShaderSuite3D",
    "Quelm3D",     "Prikker",     "Video",      "Spheres",         "Mirror",   "BallsBounce",
    "Manden",      "QuelmRinge",  "ShaderShow"};

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
        EXPECT_NE(findFamily(effectFamilies(), entry.keyword), nullptr);
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
    for (const char* keyword : allKeywords)
        EXPECT_TRUE(used.count(keyword)) << keyword << " is never used";

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
