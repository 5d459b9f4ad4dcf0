// The live frame body on a clock that moves only when set, driven by key releases.
#include "app/FrameLoop.h"
#include "app/RenderWindow.h"
#include "audio/MusicStream.h"
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

void release(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYUP;
    event.key.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

TEST(ShowFrame, ArrowReleasesSeekOneSecondOnTheNextFrameAndEscapeStops) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    VideoSettings settings;
    settings.width = 32;
    settings.height = 32;
    settings.windowed = true;
    settings.verticalSync = false;
    RenderWindow window(settings);
    window.swapAndPoll();

    std::vector<uint32_t> times;
    EffectList effects;
    effects.push_back(std::make_unique<TimeRecorder>(times));
    // Twenty seconds of silence on the manual clock: the position moves only by seeking.
    MusicStream music(std::vector<float>(size_t(musicSampleRate) * 20 * 2), MusicOutput::Manual);
    music.setPositionSeconds(5);
    const uint32_t offset = 5;

    release(SDLK_RIGHT);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset)); // polls the release
    ASSERT_TRUE(runShowFrame(window, music, effects, offset)); // seeks forward
    release(SDLK_RIGHT);
    release(SDLK_LEFT);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    ASSERT_TRUE(runShowFrame(window, music, effects, offset)); // forward, then back
    release(SDLK_LEFT);
    release(SDLK_LEFT);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    ASSERT_TRUE(runShowFrame(window, music, effects, offset)); // one seek for two releases
    // Six seconds back from 5 s: the last seek stops at 0.
    for (int i = 0; i < 6; ++i) {
        release(SDLK_LEFT);
        ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    }
    // At 0 the order shows: forward to 1 s and back to 0 (back first would end at 1 s).
    release(SDLK_LEFT);
    release(SDLK_RIGHT);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    release(SDLK_ESCAPE);
    ASSERT_TRUE(runShowFrame(window, music, effects, offset));
    EXPECT_FALSE(runShowFrame(window, music, effects, offset));

    const std::vector<uint32_t> expected = {5005, 6005, 6005, 6005, 6005, 5005, 5005,
                                            4005, 3005, 2005, 1005, 5,    5,    5};
    EXPECT_EQ(times, expected);
}

} // namespace
