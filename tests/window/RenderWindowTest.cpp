#include "player/RenderWindow.h"
#include "WindowTestSupport.h"
#include "platform/Error.h"
#include "render/GLState.h"
#include "render/Screen.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

VideoSettings smallWindow(bool multisampling = false) {
    return ::smallWindow(64, 48, multisampling);
}

void pushQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

class RenderWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
        window = std::make_unique<RenderWindow>(smallWindow());
        // Drop whatever the window system queued while the window appeared.
        window->swapAndPoll();
    }
    std::unique_ptr<RenderWindow> window;
};

TEST_F(RenderWindowTest, OpensWithACurrentContextAndPublishesItsSize) {
    EXPECT_EQ(currentScreen().width, 64);
    EXPECT_EQ(currentScreen().height, 48);
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);
}

TEST_F(RenderWindowTest, KeyReleasesSetTheirFlagsForOnePoll) {
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    pushKey(SDL_KEYDOWN, SDLK_LEFT);
    window->swapAndPoll();
    EXPECT_FALSE(window->quitRequested() || window->seekBackRequested() ||
                 window->seekForwardRequested())
        << "a press without release sets nothing";

    pushKey(SDL_KEYUP, SDLK_ESCAPE);
    pushKey(SDL_KEYUP, SDLK_LEFT);
    pushKey(SDL_KEYUP, SDLK_RIGHT);
    pushKey(SDL_KEYUP, SDLK_RIGHT);
    pushKey(SDL_KEYUP, SDLK_a);
    window->swapAndPoll();
    EXPECT_TRUE(window->quitRequested());
    EXPECT_TRUE(window->seekBackRequested());
    EXPECT_TRUE(window->seekForwardRequested());

    pushKey(SDL_KEYUP, SDLK_UP);
    window->swapAndPoll();
    EXPECT_FALSE(window->quitRequested() || window->seekBackRequested() ||
                 window->seekForwardRequested());
}

TEST_F(RenderWindowTest, CloseRequestEndsWithYouQuit) {
    pushKey(SDL_KEYUP, SDLK_RIGHT);
    pushQuit();
    pushKey(SDL_KEYUP, SDLK_LEFT);
    try {
        window->swapAndPoll();
        FAIL() << "no error raised";
    } catch (const ShowError& error) {
        EXPECT_STREQ(error.what(), "You quit?");
    }
    EXPECT_FALSE(window->seekBackRequested()) << "events behind the close must not be handled";
}

TEST_F(RenderWindowTest, ResizingChangesNothing) {
    GLint before[4], after[4];
    glGetIntegerv(GL_VIEWPORT, before);
    SDL_SetWindowSize(window->sdlWindow(), 100, 90);
    window->swapAndPoll();
    window->swapAndPoll();
    glGetIntegerv(GL_VIEWPORT, after);
    EXPECT_EQ(currentScreen().width, 64);
    EXPECT_EQ(currentScreen().height, 48);
    EXPECT_EQ(std::vector<GLint>(before, before + 4), std::vector<GLint>(after, after + 4));
}

TEST(RenderWindowMultisampling, OpensWithOrWithoutSamples) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    // Displays without multisample visuals (such as Xvfb) get a window without it.
    RenderWindow window(smallWindow(true));
    GLint sampleBuffers = -1, samples = -1;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    glGetIntegerv(GL_SAMPLES, &samples);
    EXPECT_EQ(sampleBuffers, window.multisampled() ? 1 : 0);
    if (window.multisampled()) {
        EXPECT_GE(samples, 8);
    }
}

} // namespace
