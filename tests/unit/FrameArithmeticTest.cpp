#include "audio/MusicStream.h"
#include "timeline/ShowFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(EffectTime, MillisecondsTruncatedPlusTheUnscaledOffset) {
    EXPECT_EQ(effectTimeAt(10.0, 10), 10010u);
    EXPECT_EQ(effectTimeAt(1.2349, 0), 1234u);
    EXPECT_EQ(effectTimeAt(0.0009, 3), 3u);
    // The milliseconds keep only their low 32 bits, and the sum wraps.
    EXPECT_EQ(effectTimeAt(4294967.301, 0), 5u);
    EXPECT_EQ(effectTimeAt(0.002, 4294967295u), 1u);
}

TEST(BeatLevel, SixthPowerOfTheSixteenLowestBinsClampedToOne) {
    float spectrum[spectrumSize] = {};
    EXPECT_EQ(beatLevel(spectrum), 0.0f);
    for (int bin = 0; bin < beatBins; ++bin)
        spectrum[bin] = 0.5f / beatBins;
    EXPECT_EQ(beatLevel(spectrum), 0.015625f);
    // Bins from 16 on do not count.
    for (int bin = beatBins; bin < spectrumSize; ++bin)
        spectrum[bin] = 10;
    EXPECT_EQ(beatLevel(spectrum), 0.015625f);
    spectrum[0] = 0.5f;
    spectrum[15] += 0.5f / beatBins;
    EXPECT_EQ(beatLevel(spectrum), 1.0f);
    spectrum[3] = 7;
    EXPECT_EQ(beatLevel(spectrum), 1.0f);
}

// Records its draw calls in a shared log.
class RecordingEffect : public Effekt {
public:
    RecordingEffect(int32_t start, int32_t end, std::string label, std::vector<std::string>& log)
        : Effekt(start, end), label_(std::move(label)), log_(log) {}
    void draw(uint32_t time, float beat) override {
        log_.push_back(label_ + "@" + std::to_string(time) + "/" + std::to_string(beat));
    }

private:
    std::string label_;
    std::vector<std::string>& log_;
};

TEST(ActiveEffects, ExclusiveWindowsInListOrder) {
    std::vector<std::string> log;
    EffectList effects;
    effects.push_back(std::make_unique<RecordingEffect>(1000, 2000, "a", log));
    effects.push_back(std::make_unique<RecordingEffect>(0, -1, "forever", log));
    effects.push_back(std::make_unique<RecordingEffect>(-1, -1, "never", log));
    effects.push_back(std::make_unique<RecordingEffect>(1500, 1501, "empty", log));
    effects.push_back(std::make_unique<RecordingEffect>(1000, 2000, "b", log));
    for (uint32_t time : {1000u, 1001u, 1500u, 1501u, 1999u, 2000u, 4294967294u, 4294967295u})
        drawActiveEffects(effects, time, 0.25f);
    const std::vector<std::string> expected = {
        "forever@1000/0.250000", "a@1001/0.250000",       "forever@1001/0.250000",
        "b@1001/0.250000",       "a@1500/0.250000",       "forever@1500/0.250000",
        "b@1500/0.250000",       "a@1501/0.250000",       "forever@1501/0.250000",
        "b@1501/0.250000",       "a@1999/0.250000",       "forever@1999/0.250000",
        "b@1999/0.250000",       "forever@2000/0.250000", "forever@4294967294/0.250000",
    };
    EXPECT_EQ(log, expected);
}

} // namespace
