// The live frame body on a clock that moves only when set, driven by key releases.
#include "WindowTestSupport.h"
#include "audio/MusicStream.h"
#include "player/FrameLoop.h"
#include "player/RenderWindow.h"
#include "render/GLState.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

class TimeRecorder : public Effekt {
public:
    TimeRecorder(std::vector<uint32_t>& times) : Effekt(0, -1), times_(times) {}
    void draw(uint32_t time, float) override { times_.push_back(time); }

private:
    std::vector<uint32_t>& times_;
};

TEST(ShowFrame, ArrowReleasesSeekOneSecondOnTheNextFrameAndEscapeStops) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    RenderWindow window(smallWindow(32, 32));
    window.swapAndPoll();

    std::vector<uint32_t> times;
    EffectList effects;
    effects.push_back(std::make_unique<TimeRecorder>(times));
    // Twenty seconds of silence on the manual clock: the position moves only by seeking.
    MusicStream music(std::vector<float>(size_t(musicSampleRate) * 20 * 2), MusicOutput::Manual);
    music.setPositionSeconds(5);
    const uint32_t offset = 5;

    pushKeyRelease(SDLK_RIGHT);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset)); // polls the release
    ASSERT_TRUE(runShowFrame(window, music, effects, offset)); // seeks forward
    pushKeyRelease(SDLK_RIGHT);
    pushKeyRelease(SDLK_LEFT);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    ASSERT_TRUE(runShowFrame(window, music, effects, offset)); // forward, then back
    pushKeyRelease(SDLK_LEFT);
    pushKeyRelease(SDLK_LEFT);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    ASSERT_TRUE(runShowFrame(window, music, effects, offset)); // one seek for two releases
    // Six seconds back from 5 s: the last seek stops at 0.
    for (int i = 0; i < 6; ++i) {
        pushKeyRelease(SDLK_LEFT);
        ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    }
    // At 0 the order shows: forward to 1 s and back to 0 (back first would end at 1 s).
    pushKeyRelease(SDLK_LEFT);
    pushKeyRelease(SDLK_RIGHT);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    pushKeyRelease(SDLK_ESCAPE);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    EXPECT_FALSE(runShowFrame(window, music, effects, offset));

    const std::vector<uint32_t> expected = {5005, 6005, 6005, 6005, 6005, 5005, 5005,
                                            4005, 3005, 2005, 1005, 5,    5,    5};
    EXPECT_EQ(times, expected);
}

} // namespace
