// Counts the C++ allocations made on the main thread while the live frame loop runs.
#include "TestFiles.h"
#include "TestShow.h"
#include "WindowTestSupport.h"
#include "audio/MusicStream.h"
#include "author/AuthorSession.h"
#include "player/FrameLoop.h"
#include "player/RenderWindow.h"
#include "render/GLState.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

thread_local bool counting = false;
thread_local long allocations = 0;

void* allocate(std::size_t size) {
    if (counting)
        ++allocations;
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
// The nothrow forms too (libraries such as FreeImage use them): memory from one allocator must
// never reach the other's delete.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

class CountingEffect : public Effekt {
public:
    using Effekt::Effekt;
    void draw(uint32_t time, float beat) override {
        ++draws;
        beatSum += beat;
        lastTime = time;
    }
    long draws = 0;
    double beatSum = 0;
    uint32_t lastTime = 0;
};

// A small window for a show whose first entry, a Counting one that is always active, counts its
// draws for the whole run.
struct CountedShow {
    RenderWindow window{smallWindow(96, 64)};
    TestShow show;

    void load(const std::string& moreEntries, TrackSet tracks = {}, int32_t startOffset = 0) {
        requireOpenGl2();
        setScreenPerspective();
        glEnable(GL_TEXTURE_2D);
        show =
            makeTestShow("Counting\n0\n-1\n" + moreEntries,
                         {testFamily<CountingEffect>("Counting")}, std::move(tracks), startOffset);
    }
    CountingEffect& counted() { return static_cast<CountingEffect&>(*show->effects()[0]); }
};

// Ten seconds of a loud low square wave.
std::vector<float> loudMusic() {
    std::vector<float> samples(size_t(musicSampleRate) * 10 * 2);
    for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
        const float value =
            std::sin(2 * M_PI * 86.0 * double(frame) / musicSampleRate) < 0 ? -0.9f : 0.9f;
        samples[2 * frame] = samples[2 * frame + 1] = value;
    }
    return samples;
}

TEST(FrameLoop, RunsManyFramesWithoutAllocating) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    // Tracks drive the plug-in and a shader that declares every frame input.
    const TempDir folder;
    writeTextFile(folder.file("inputs.fs"),
                  "uniform float glow;\nuniform sampler2D spectrum;\nuniform vec2 resolution;\n"
                  "void main() { gl_FragColor = texture2D(spectrum, resolution * glow); }\n");
    // A ShaderToy entry with a feedback buffer, an image, the music and a track.
    writeImage(folder.file("picture.png"), 8, 8, [](int x, int y) {
        return Rgba{uint8_t(x * 30), uint8_t(y * 30), 0, 255};
    });
    writeTextFile(folder.file("trail.glsl"),
                  "#iChannel0 \"self\"\n#iChannel1 \"music\"\n#iChannel2 \"file://picture.png\"\n"
                  "uniform float glow;\n"
                  "void mainImage(out vec4 c, in vec2 p) {\n"
                  "    vec2 uv = p / iResolution.xy;\n"
                  "    c = 0.9 * texture(iChannel0, uv) + texture(iChannel1, uv) * glow +\n"
                  "        texture2D(iChannel2, uv) * float(iFrame % 2);\n"
                  "}\n");
    writeTextFile(folder.file("toy.glsl"), "#iChannel0 \"file://trail.glsl\"\n"
                                           "void mainImage(out vec4 c, in vec2 p) {\n"
                                           "    c = texture(iChannel0, p / iResolution.xy);\n"
                                           "}\n");
    TrackSet trackSet;
    for (const char* name : {"glow", "starburst_size", "starburst_spin"}) {
        trackSet.setKey(name, {0, 0.5f, Interpolation::Smooth});
        trackSet.setKey(name, {9000, 1.0f, Interpolation::Ramp});
    }
    CountedShow counted;
    ASSERT_NO_THROW(counted.load("Plugin\n0\n-1\n" MORVELDAN_BUILD_DIR "/plugins/starburst.so\n24\n"
                                 "ShaderShow\n0\n-1\n" +
                                     folder.file("inputs.fs") + "\n\n" + "ShaderToy\n0\n-1\n" +
                                     folder.file("toy.glsl") + "\n",
                                 std::move(trackSet), 3));
    RenderWindow& window = counted.window;
    Show& show = *counted.show;

    MusicStream music(loudMusic(), MusicOutput::Silent);
    music.play(true);
    music.setPositionSeconds(3);

    for (int frame = 0; frame < 10; ++frame)
        ASSERT_TRUE(runShowFrame(window, music, show));
    const int frames = 400;
    int seeks = 0;
    counting = true;
    for (int frame = 0; frame < frames; ++frame) {
        if (frame % 20 == 5) {
            pushKeyRelease(frame % 40 == 5 ? SDLK_RIGHT : SDLK_LEFT);
            ++seeks;
        }
        if (!runShowFrame(window, music, show))
            break;
    }
    counting = false;
    EXPECT_EQ(allocations, 0) << "allocations in " << frames << " frames with " << seeks
                              << " seeks";
    EXPECT_EQ(counted.counted().draws, frames + 10);
    EXPECT_GT(counted.counted().beatSum, 0.5 * frames)
        << "the loud music should drive the beat level";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A live run with the author's keys and the overlay hidden: paused frames, seeks while paused, and
// a loop that the seeks keep sending back to its start.
TEST(FrameLoop, PausedAndLoopingLiveFramesAllocateNothing) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    CountedShow shown;
    ASSERT_NO_THROW(shown.load("Counting\n2000\n6000\n"));
    const CountingEffect& counted = shown.counted();
    AuthorSession session(shown.window,
                          {std::move(shown.show.show),
                           std::make_unique<MusicStream>(loudMusic(), MusicOutput::Silent),
                           std::filesystem::file_time_type::max(),
                           {shown.show.families}},
                          false);
    session.transport().seekTo(3000);
    for (int frame = 0; frame < 10; ++frame)
        ASSERT_TRUE(session.runFrame());

    counting = true;
    pushKeyRelease(SDLK_SPACE);
    ASSERT_TRUE(session.runFrame());
    const uint32_t pausedAt = counted.lastTime;
    bool heldStill = true;
    for (int frame = 0; frame < 100; ++frame) {
        ASSERT_TRUE(session.runFrame());
        heldStill = heldStill && counted.lastTime == pausedAt;
    }
    const SDL_Keycode pausedKeys[] = {SDLK_RIGHT, SDLK_PAGEDOWN, SDLK_LEFT, SDLK_HOME};
    for (const SDL_Keycode key : pausedKeys) {
        pushKeyRelease(key);
        for (int frame = 0; frame < 5; ++frame)
            ASSERT_TRUE(session.runFrame());
    }
    const bool stillPaused = session.transport().paused();
    session.transport().seekTo(4000);
    pushKeyRelease(SDLK_SPACE);
    pushKeyRelease(SDLK_l);
    for (int frame = 0; frame < 200; ++frame) {
        if (frame % 20 == 5)
            pushKeyRelease(SDLK_RIGHT);
        ASSERT_TRUE(session.runFrame());
    }
    counting = false;
    EXPECT_EQ(allocations, 0) << "allocations in paused and looping frames";
    EXPECT_TRUE(heldStill) << "the effect time moved while paused";
    EXPECT_TRUE(stillPaused);
    ASSERT_TRUE(session.transport().looping());
    EXPECT_EQ(session.transport().loopStart(), 2001u);
    EXPECT_EQ(session.transport().loopEnd(), 6000u);
    EXPECT_GT(counted.lastTime, 2000u);
    EXPECT_LT(counted.lastTime, 6000u) << "the seeks left the loop";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
