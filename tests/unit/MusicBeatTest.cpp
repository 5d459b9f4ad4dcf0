// The generated music drives the beat level as the effects need it: 1 on the kicks of the main
// parts and near 0 between them, low all through the quiet parts.
#include "../../tools/makeassets/SongLayout.h"
#include "app/FrameLoop.h"
#include "audio/MusicStream.h"
#include "timeline/ScriptReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>

namespace {

std::string musicPath() {
    FILE* script = std::fopen(MORVELDAN_BUILD_DIR "/data/demo.txt", "r");
    if (!script)
        return "";
    std::string name = readScriptLine(script);
    std::fclose(script);
    return std::string(MORVELDAN_BUILD_DIR) + "/" + name;
}

class MusicBeat : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        music = std::make_unique<MusicStream>(musicPath(), MusicOutput::Manual);
    }
    static void TearDownTestSuite() { music.reset(); }

    // The beat level the show computes at a time in seconds.
    static float beatAt(double seconds) {
        std::array<float, spectrumSize> spectrum{};
        music->spectrumAt(uint64_t(seconds * musicSampleRate), spectrum.data());
        return beatLevel(spectrum.data());
    }
    // The highest level over a stretch, sampled every 5 ms.
    static float highestBetween(double from, double to) {
        float highest = 0;
        for (double t = from; t < to; t += 0.005)
            highest = std::max(highest, beatAt(t));
        return highest;
    }

    static std::unique_ptr<MusicStream> music;
};
std::unique_ptr<MusicStream> MusicBeat::music;

constexpr double window = 2048.0 / musicSampleRate; // the spectrum looks this far back

} // namespace

TEST_F(MusicBeat, KicksReachFullLevelAndFallAwayBetweenThem) {
    ASSERT_TRUE(music->hasMusic());
    for (const song::Section& section : song::sections) {
        if (!song::hasKicks(section.part))
            continue;
        SCOPED_TRACE(section.name);
        for (int bar = section.firstBar; bar < section.firstBar + section.barCount; ++bar)
            for (int beat = 0; beat < song::beatsPerBar; ++beat) {
                const double kick = song::barSeconds(bar) + beat * song::secondsPerBeat;
                SCOPED_TRACE(kick);
                EXPECT_GE(highestBetween(kick, kick + 0.15), 0.999f);
                // Half-way to the next kick, where the off-beat bass plays.
                const double between = kick + song::secondsPerBeat / 2;
                EXPECT_LT(highestBetween(between - 0.03, between + 0.03), 0.1f);
            }
    }
}

TEST_F(MusicBeat, DropsReactAboveSevenTenthsEveryBar) {
    ASSERT_TRUE(music->hasMusic());
    int drops = 0;
    for (const song::Section& section : song::sections) {
        if (section.part != song::Part::Drop)
            continue;
        ++drops;
        for (int bar = section.firstBar; bar < section.firstBar + section.barCount; ++bar)
            EXPECT_GT(highestBetween(song::barSeconds(bar), song::barSeconds(bar + 1)), 0.7f)
                << section.name << ", bar " << bar;
    }
    EXPECT_GE(drops, 2);
}

TEST_F(MusicBeat, QuietPartsStayLow) {
    ASSERT_TRUE(music->hasMusic());
    int quietParts = 0;
    for (const song::Section& section : song::sections) {
        if (song::hasKicks(section.part))
            continue;
        ++quietParts;
        // Past the tail of a kick that ends the previous section (its 2048-frame window and
        // decay), the level stays low to the section's end.
        const double from = song::barSeconds(section.firstBar) + window + 0.3;
        const double to = song::barSeconds(section.firstBar + section.barCount);
        EXPECT_LT(highestBetween(from, to), 0.1f) << section.name;
    }
    EXPECT_GE(quietParts, 3);
}

TEST_F(MusicBeat, SongFillsTheMusicFile) {
    ASSERT_TRUE(music->hasMusic());
    const double seconds = music->framesToSeconds(music->lengthFrames());
    EXPECT_NEAR(seconds, song::barSeconds(song::totalBars), 0.1);
    EXPECT_EQ(song::sections[std::size(song::sections) - 1].firstBar +
                  song::sections[std::size(song::sections) - 1].barCount,
              song::totalBars);
}
