// Shader effects drawn on the virtual display with the committed shader sources: every keyword
// builds, draws and leaves the state clean; pictures where they belong, and the same picture again
// for the same seed, time and beat. What the effects hand their shaders is tested in
// ShaderEffectsUniformsTest.cpp.

#include "ShaderEffectsFixture.h"
#include "TestShow.h"

#include "effects/BallsBounce.h"
#include "effects/Mirror.h"
#include "effects/Plasma2D.h"
#include "effects/PolarCoords.h"
#include "effects/ShaderShow.h"
#include "render/GLState.h"
#include "render/Random.h"

#include <cstdint>
#include <string>
#include <vector>

TEST_F(ShaderEffects, EveryKeywordBuildsAndDrawsAtManyTimesAndBeatsLeavingTheStateClean) {
    struct Entry {
        const char* keyword;
        const char* extraLines;
    };
    const Entry entries[] = {
        {"Mirror", ""},
        {"WalkCube", ""},
        {"Plasma2D", "42\n"},
        {"ShaderShow", "\ndata/pictures/quadrants.png\n"},
        {"ShaderShow", "data/shaders/ripple.fs\ndata/pictures/quadrants.png\n"},
        {"ShaderShow", "data/shaders/kaleidoscope.fs\ndata/pictures/quadrants.png\n"},
        {"ShaderShow", "data/shaders/glitch.fs\ndata/pictures/quadrants.png\n"},
        {"Circles", ""},
        {"Faces", ""},
        {"Banger", ""},
        {"BallsBounce", ""},
        {"PolarCoords", ""},
        {"TwistBox", ""},
    };
    const uint32_t start = 1000, end = 60000;
    const uint32_t times[] = {1001, 1250, 1999, 2000, 9000, 59999};
    const float beats[] = {0, 0.5f, 1};
    for (const Entry& entry : entries) {
        testing::internal::CaptureStderr();
        TestShow show = makeTestShow(std::string(entry.keyword) + "\n" + std::to_string(start) +
                                     "\n" + std::to_string(end) + "\n" + entry.extraLines);
        const std::string diagnostics = testing::internal::GetCapturedStderr();
        ASSERT_EQ(show->effects().size(), 1u) << entry.keyword;
        Effekt* effect = show->effects()[0].get();
        // The committed shaders use every uniform the effect feeds.
        EXPECT_EQ(diagnostics.find("Unable to locate shader handle"), std::string::npos)
            << entry.keyword << ": " << diagnostics;
        expectLeftAsFound(std::string(entry.keyword) + " construction");
        for (uint32_t time : times)
            for (float beat : beats) {
                fillRed();
                effect->draw(time, beat);
                const std::string where = std::string(entry.keyword) + " at " +
                                          std::to_string(time) + " beat " + std::to_string(beat);
                expectLeftAsFound(where);
                // Every one of these pictures covers the red that lay under it somewhere.
                readFrame();
                int untouched = 0;
                for (const Rgba& c : frame)
                    untouched += c == red;
                EXPECT_LT(untouched, windowWidth * windowHeight) << where;
            }
    }
}

class MirrorWide : public ShaderEffects {
protected:
    MirrorWide() {
        windowWidth = 128;
        windowHeight = 32;
    }
};

// At time 0 the cube faces the viewer: its front face, 4 units wide at 3 units from the eye, is a
// band in the middle of a wide window (from about x = 35 to 93), the rest is cleared, and the face
// shows the middle of the box image upright.
TEST_F(MirrorWide, FrontFaceStandsSquarelyInTheMiddleAtTimeZero) {
    Effekter::Mirror mirror(context(), 0, 100000);
    fillRed();
    mirror.draw(0, 0);
    expectLeftAsFound("Mirror at 0");
    readFrame();
    for (int x : {2, 30, 97, 125})
        EXPECT_TRUE(near(pixel(x, 16), {0, 0, 0, 0}, 2)) << x << " " << pixel(x, 16);
    const Rgba topLeft = pixel(44, 8), topRight = pixel(84, 8);
    const Rgba bottomLeft = pixel(44, 24), bottomRight = pixel(84, 24);
    EXPECT_GT(topLeft.r, topLeft.g + 60) << topLeft;
    EXPECT_GT(topRight.g, topRight.r + 60) << topRight;
    EXPECT_GT(bottomLeft.b, bottomLeft.r + 60) << bottomLeft;
    EXPECT_GT(bottomRight.r, 150) << bottomRight;
    EXPECT_GT(bottomRight.g, 150) << bottomRight;
    EXPECT_FALSE(near(pixel(37, 16), {0, 0, 0, 0}, 10)) << "face's left edge";
    EXPECT_FALSE(near(pixel(90, 16), {0, 0, 0, 0}, 10)) << "face's right edge";
}

TEST_F(ShaderEffects, PlasmaDependsOnlyOnItsSeedAndTime) {
    Effekter::Plasma2D first(context(), 0, 100000, 7), twin(context(), 0, 100000, 7),
        other(context(), 0, 100000, 8);
    first.draw(3000, 0.5f);
    readFrame();
    const std::vector<Rgba> firstFrame = frame;

    // The generator is re-seeded by the plasma, so another user of it in between changes nothing.
    prng::seed(999);
    prng::next();
    clearFrame();
    twin.draw(3000, 0.5f);
    readFrame();
    EXPECT_EQ(frame, firstFrame);

    // Effects drawn afterwards see the generator sixteen values past the seed.
    prng::seed(7);
    for (int i = 0; i < 16; ++i)
        prng::next();
    const int expectedNext = prng::next();
    twin.draw(3000, 0.5f);
    EXPECT_EQ(prng::next(), expectedNext);

    clearFrame();
    other.draw(3000, 0.5f);
    readFrame();
    int differing = 0;
    for (size_t i = 0; i < frame.size(); ++i)
        differing += !near(frame[i], firstFrame[i], 8);
    EXPECT_GT(differing, int(frame.size()) / 4);
    expectLeftAsFound("Plasma2D");
    const std::vector<Rgba> otherFrame = frame;

    // The seed is tweakable: set through the registry, it picks the other plasma.
    TweakRegistry tweaks;
    first.registerTweaks(tweaks);
    const TweakVariable* seed = tweaks.find("Plasma");
    ASSERT_NE(seed, nullptr);
    EXPECT_EQ(seed->type, TweakInt32);
    EXPECT_EQ(seed->definition, " label='Plasma'");
    *static_cast<int32_t*>(seed->address) = 8;
    first.draw(3000, 0.5f);
    readFrame();
    EXPECT_EQ(frame, otherFrame);
}

TEST_F(ShaderEffects, ShaderShowWithoutShaderDrawsTheImageUntouched) {
    Effekter::ShaderShow show(context(), 0, 100000, "", "data/pictures/quadrants.png");
    glColor4f(1, 1, 1, 1);
    show.draw(2500, 1);
    expectLeftAsFound("ShaderShow without shader");
    readFrame();
    for (int y = 0; y < windowHeight; y += 3)
        for (int x = 0; x < windowWidth; x += 3)
            ASSERT_TRUE(near(pixel(x, y), quadrant(x, y, windowWidth), 3))
                << x << "," << y << " " << pixel(x, y);
}

TEST_F(ShaderEffects, PolarCoordsWipesEarlierDrawingAndRepeatsItsBoxField) {
    Effekter::PolarCoords polar(context(), 0, 100000);
    fillRed();
    polar.draw(1234, 0);
    expectLeftAsFound("PolarCoords");
    GLfloat clear[4] = {1, 1, 1, 1};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2] + clear[3], 0) << "clear colour left at 0";
    readFrame();
    const std::vector<Rgba> firstFrame = frame;
    int greenPixels = 0;
    for (const Rgba& c : frame) {
        ASSERT_LT(c.r, 40) << c;
        greenPixels += c.g > 100;
    }
    EXPECT_GT(greenPixels, windowWidth * windowHeight / 10) << "the green boxes show";

    prng::seed(5);
    polar.draw(50000, 1);
    fillRed();
    polar.draw(1234, 1);
    readFrame();
    EXPECT_EQ(frame, firstFrame);
}

TEST_F(ShaderEffects, BallsBounceRepeatsExactlyForEqualTimeAndBeat) {
    Effekter::BallsBounce balls(context(), 1000, 30000);
    clearFrame();
    balls.draw(4000, 0.7f);
    expectLeftAsFound("BallsBounce");
    readFrame();
    const std::vector<Rgba> firstFrame = frame;

    prng::seed(77);
    clearFrame();
    balls.draw(4400, 0.2f);
    readFrame();
    EXPECT_NE(frame, firstFrame) << "time and beat move the picture";

    clearFrame();
    balls.draw(4000, 0.7f);
    readFrame();
    EXPECT_EQ(frame, firstFrame);
}
