// The generated music drives the beat level as the effects need it: 1 on the kicks of the main
// parts and near 0 between them, low all through the quiet parts.
#include "../../tools/makeassets/SongLayout.h"
#include "audio/AudioDecoder.h"
#include "audio/MusicStream.h"
#include "audio/SpectrumAnalyzer.h"
#include "timeline/ScriptReader.h"
#include "timeline/ShowFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

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

// The music is kept as its mono mix and a 16-bit side signal. The beat level, at every position,
// must still be what the decoded stereo floats give, and the sound rebuilt must stay within the
// 16-bit step of them.
TEST_F(MusicBeat, CompactStoreKeepsTheBeatLevelsOfTheDecodedFloats) {
    struct Floats final : DecodedFrames {
        void take(const float* interleaved, uint64_t frames) override {
            stereo.insert(stereo.end(), interleaved, interleaved + 2 * frames);
        }
        std::vector<float> stereo;
    } decoded;
    decodeAudio(musicPath(), decoded);
    const uint64_t frames = music->lengthFrames();
    ASSERT_EQ(decoded.stereo.size(), frames * 2);

    std::vector<float> mixed(frames);
    for (uint64_t frame = 0; frame < frames; ++frame)
        mixed[frame] = 0.5f * (decoded.stereo[2 * frame] + decoded.stereo[2 * frame + 1]);
    const std::span<const float> kept = music->samples().mono();
    for (uint64_t frame = 0; frame < frames; ++frame)
        ASSERT_EQ(std::bit_cast<uint32_t>(kept[frame]), std::bit_cast<uint32_t>(mixed[frame]))
            << frame;

    SpectrumAnalyzer fromFloats;
    std::array<float, spectrumSize> expected{}, actual{};
    for (uint64_t frame = 0; frame < frames + 4096; frame += 97) {
        fromFloats.analyze(mixed, frame, expected.data());
        music->spectrumAt(frame, actual.data());
        ASSERT_EQ(std::bit_cast<uint32_t>(beatLevel(actual.data())),
                  std::bit_cast<uint32_t>(beatLevel(expected.data())))
            << frame;
    }

    std::vector<float> rebuilt(frames * 2);
    music->samples().readStereo(0, frames, rebuilt.data());
    float largestError = 0;
    for (size_t i = 0; i < rebuilt.size(); ++i)
        largestError = std::max(largestError, std::abs(rebuilt[i] - decoded.stereo[i]));
    EXPECT_LE(largestError, 1.0f / 32767);
}

// A render keeps only the music its frames read: inside that part every beat level is the one of
// the whole track, outside it the spectrum is silent.
TEST_F(MusicBeat, KeptPartGivesTheSameBeatLevels) {
    MusicStream part(musicPath(), MusicOutput::Manual, false);
    const uint64_t from = 60 * musicSampleRate, to = 63 * musicSampleRate;
    part.keepOnly(from, to);
    ASSERT_EQ(part.lengthFrames(), music->lengthFrames());
    std::array<float, spectrumSize> whole{}, kept{};
    for (uint64_t frame = from; frame <= to; frame += 89) {
        music->spectrumAt(frame, whole.data());
        part.spectrumAt(frame, kept.data());
        ASSERT_EQ(std::bit_cast<uint32_t>(beatLevel(kept.data())),
                  std::bit_cast<uint32_t>(beatLevel(whole.data())))
            << frame;
    }
    for (uint64_t outside : {from - 1, to + 1, uint64_t(0)}) {
        part.spectrumAt(outside, kept.data());
        EXPECT_EQ(beatLevel(kept.data()), 0.0f) << outside;
    }
}
