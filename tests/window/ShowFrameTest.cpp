// The live frame body on a clock that moves only when set, driven by key releases.
#include "TestShow.h"
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
    using Effekt::Effekt;
    void draw(uint32_t time, float) override { times.push_back(time); }
    std::vector<uint32_t> times;
};

TEST(ShowFrame, ArrowReleasesSeekOneSecondOnTheNextFrameAndEscapeStops) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    RenderWindow window(smallWindow(32, 32));
    window.swapAndPoll();

    TestShow show =
        makeTestShow("Recorder\n0\n-1\n", {testFamily<TimeRecorder>("Recorder")}, {}, 5);
    const std::vector<uint32_t>& times = static_cast<TimeRecorder&>(*show->effects()[0]).times;
    // Twenty seconds of silence on the manual clock: the position moves only by seeking.
    MusicStream music(std::vector<float>(size_t(musicSampleRate) * 20 * 2), MusicOutput::Manual);
    music.setPositionSeconds(5);

    pushKeyRelease(SDLK_RIGHT);
    ASSERT_TRUE(runShowFrame(window, music, *show)); // polls the release
    ASSERT_TRUE(runShowFrame(window, music, *show)); // seeks forward
    pushKeyRelease(SDLK_RIGHT);
    pushKeyRelease(SDLK_LEFT);
    ASSERT_TRUE(runShowFrame(window, music, *show));
    ASSERT_TRUE(runShowFrame(window, music, *show)); // forward, then back
    pushKeyRelease(SDLK_LEFT);
    pushKeyRelease(SDLK_LEFT);
    ASSERT_TRUE(runShowFrame(window, music, *show));
    ASSERT_TRUE(runShowFrame(window, music, *show)); // one seek for two releases
    // Six seconds back from 5 s: the last seek stops at 0.
    for (int i = 0; i < 6; ++i) {
        pushKeyRelease(SDLK_LEFT);
        ASSERT_TRUE(runShowFrame(window, music, *show));
    }
    // At 0 the order shows: forward to 1 s and back to 0 (back first would end at 1 s).
    pushKeyRelease(SDLK_LEFT);
    pushKeyRelease(SDLK_RIGHT);
    ASSERT_TRUE(runShowFrame(window, music, *show));
    pushKeyRelease(SDLK_ESCAPE);
    ASSERT_TRUE(runShowFrame(window, music, *show));
    EXPECT_FALSE(runShowFrame(window, music, *show));

    const std::vector<uint32_t> expected = {5005, 6005, 6005, 6005, 6005, 5005, 5005,
                                            4005, 3005, 2005, 1005, 5,    5,    5};
    EXPECT_EQ(times, expected);
}

} // namespace
