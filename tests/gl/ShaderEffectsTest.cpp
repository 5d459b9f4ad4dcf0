// Shader effects drawn on the virtual display: each in a run directory of its own with images of
// known colours and the committed shader sources (or small probe shaders that show what the effect
// hands its uniforms as colours).

#include "GlFixture.h"
#include "TestShow.h"

#include "effects/BallsBounce.h"
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Plasma2D.h"
#include "effects/PolarCoords.h"
#include "effects/ShaderShow.h"
#include "effects/TwistBox.h"
#include "effects/WalkCube.h"
#include "platform/Error.h"
#include "render/GLState.h"
#include "render/Random.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr Rgba red{255, 0, 0, 255};
constexpr Rgba green{0, 255, 0, 255};
constexpr Rgba blue{0, 0, 255, 255};
constexpr Rgba white{255, 255, 255, 255};

// Red top-left, green top-right, blue bottom-left, white bottom-right.
Rgba quadrant(int x, int y, int size) {
    const bool right = x >= size / 2, bottom = y >= size / 2;
    return bottom ? (right ? white : blue) : (right ? green : red);
}

void writePlain(const std::string& path, Rgba colour) {
    writeImage(
        path, 16, 16, [&](int, int) { return colour; }, false);
}

void writeQuadrants(const std::string& path) {
    writeImage(
        path, 64, 64, [](int x, int y) { return quadrant(x, y, 64); }, false);
}

void writeChequer(const std::string& path) {
    writeImage(
        path, 32, 32,
        [](int x, int y) {
            return ((x / 8 + y / 8) % 2) ? Rgba{230, 230, 230, 255} : Rgba{40, 40, 40, 255};
        },
        false);
}

// A soft round shadow: black with alpha falling off from the middle.
void writeShadow(const std::string& path) {
    writeImage(path, 32, 32, [](int x, int y) {
        const double d = std::hypot(x - 15.5, y - 15.5) / 16;
        return Rgba{0, 0, 0, uint8_t(d < 1 ? 255 * (1 - d) : 0)};
    });
}

const char* const committedShaders[] = {
    "data/bravelund/tolvik/cube.fs",
    "data/bravelund/tolvik/cube.vs",
    "data/bravelund/walk/cubeshader.fs",
    "data/bravelund/walk/cubeshader.vs",
    "data/bravelund/walk/floorshader.fs",
    "data/bravelund/bounce/cubeshader.fs",
    "data/bravelund/bounce/cubeshader.vs",
    "data/bravelund/bounce/floorshader.fs",
    "data/plasma/effekt2.fs",
    "data/circles/circles.txt",
    "data/bravelund/banger/slider.txt",
    "data/polar.fs",
    "data/bump.fs",
    "data/shaders/ripple.fs",
    "data/shaders/kaleidoscope.fs",
    "data/shaders/glitch.fs",
};

} // namespace

class ShaderEffects : public GlFixture {
protected:
    std::filesystem::path run;
    std::unique_ptr<ScopedWorkingDirectory> workingDirectory;

    void SetUp() override {
        GlFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        run = temp.path() / "run";
        writeQuadrants((run / "data/bravelund/tolvik/boks.jpg").string());
        writeChequer((run / "data/bravelund/walk/skak.png").string());
        writeShadow((run / "data/bravelund/walk/skygge.png").string());
        writeChequer((run / "data/bravelund/bounce/skak.png").string());
        writeShadow((run / "data/bravelund/bounce/skygge.png").string());
        writePlain((run / "data/plasma/__water.jpg").string(), {120, 160, 220, 255});
        writePlain((run / "data/circles/__ring.jpg").string(), {200, 120, 60, 255});
        writePlain((run / "data/circles/circles.jpg").string(), {90, 200, 90, 255});
        writePlain((run / "data/circles/text.jpg").string(), white);
        writePlain((run / "data/bravelund/banger/bang.jpg").string(), {0, 0, 100, 255});
        writePlain((run / "data/bravelund/banger/bang1.jpg").string(), {0, 200, 0, 255});
        writePlain((run / "data/housing.jpg").string(), {0, 220, 0, 255});
        writeChequer((run / "data/__grid.jpg").string());
        writeQuadrants((run / "data/pictures/quadrants.png").string());
        for (const char* shader : committedShaders)
            copySourceData(run, shader);
        workingDirectory = std::make_unique<ScopedWorkingDirectory>(run);
    }

    void TearDown() override {
        workingDirectory.reset();
        GlFixture::TearDown();
    }

    // Replaces a shader of the run directory with a probe.
    void writeProbe(const std::string& relativePath, const std::string& source) {
        writeTextFile((run / relativePath).string(), source);
    }

    // Earlier drawing: a red frame. The clear colour is black again afterwards, so an effect that
    // clears leaves black.
    void fillRed() {
        clearFrame(1, 0, 0, 1);
        glClearColor(0, 0, 0, 0);
    }

    // The clean state, plus what every effect of this family leaves: depth test and fog off, the
    // model-view matrix current, identity and unpushed, the screen's viewport and perspective.
    void expectLeftAsFound(const std::string& where) {
        expectCleanState(where.c_str());
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << where;
        EXPECT_FALSE(glIsEnabled(GL_FOG)) << where;
        expectScreenPerspective(where);
    }

    // Colour of the centre pixel of the last frame.
    Rgba centre() const { return pixel(windowWidth / 2, windowHeight / 2); }
};

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

TEST_F(ShaderEffects, ShaderShowHandsSecondsAndBeatToItsShader) {
    writeProbe("data/probe.fs",
               "uniform float time; uniform float beat;\n"
               "void main() { gl_FragColor = vec4(time / 10.0, beat, 0.0, 1.0); }\n");
    Effekter::ShaderShow show(context(), 0, 100000, "data/probe.fs", "");
    show.draw(2500, 0.5f);
    expectLeftAsFound("ShaderShow with probe");
    readFrame();
    EXPECT_TRUE(near(centre(), {64, 128, 0, 255}, 2)) << centre();

    EXPECT_THROW(Effekter::ShaderShow(context(), 0, 1, "data/missing.fs", ""), ShowError);
}

// The circle shader gets music time in milliseconds (not the time since the effect's start) and,
// in Faces, the beat; Faces adds its text image at a tenth of the beat on top.
TEST_F(ShaderEffects, CirclesAndFacesHandMusicTimeAndBeatToTheCircleShader) {
    writeProbe("data/circles/circles.txt",
               "uniform float time; uniform float beat;\n"
               "void main() { gl_FragColor = vec4(time / 10000.0, beat, 0.0, 1.0); }\n");
    Effekter::Circles circles(context(), 1000, 100000);
    circles.draw(5000, 0.5f);
    expectLeftAsFound("Circles");
    readFrame();
    EXPECT_TRUE(near(centre(), {128, 0, 0, 255}, 2)) << centre();

    Effekter::Faces faces(context(), 1000, 100000);
    faces.draw(5000, 0.5f);
    expectLeftAsFound("Faces");
    readFrame();
    // Probe (0.5, 0.5, 0) plus the white text at 0.05.
    EXPECT_TRUE(near(centre(), {140, 140, 13, 255}, 3)) << centre();

    // With beat 0 the text adds nothing.
    faces.draw(5000, 0);
    readFrame();
    EXPECT_TRUE(near(centre(), {128, 0, 0, 255}, 2)) << centre();
}

TEST_F(ShaderEffects, BangerSlidesForOneSecondThenClearsAndFlashes) {
    writeProbe("data/bravelund/banger/slider.txt",
               "uniform float time; uniform sampler2D picture;\n"
               "void main() { gl_FragColor = vec4(time / 1000.0, 0.0, 0.0, 1.0)"
               " + texture2D(picture, gl_TexCoord[0].st); }\n");
    Effekter::Banger banger(context(), 1000, 100000);

    fillRed();
    banger.draw(1500, 1);
    expectLeftAsFound("Banger at 500");
    readFrame();
    // The shader layer with the time since the start; the second image is not drawn yet.
    EXPECT_TRUE(near(centre(), {128, 0, 100, 255}, 3)) << centre();

    fillRed();
    banger.draw(1999, 1);
    readFrame();
    EXPECT_TRUE(near(centre(), {255, 0, 100, 255}, 3)) << centre();

    // From 1000 on the frame is wiped: the first image, plus the second weighted by the beat.
    for (uint32_t time : {2000u, 9000u}) {
        fillRed();
        banger.draw(time, 0);
        expectLeftAsFound("Banger flashing");
        readFrame();
        EXPECT_TRUE(near(centre(), {0, 0, 100, 255}, 3)) << time << " " << centre();
        EXPECT_TRUE(near(pixel(0, 0), {0, 0, 100, 255}, 3)) << time << " " << pixel(0, 0);

        fillRed();
        banger.draw(time, 1);
        readFrame();
        EXPECT_TRUE(near(centre(), {0, 200, 100, 255}, 3)) << time << " " << centre();
    }
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

TEST_F(ShaderEffects, TwistBoxWipesEarlierDrawingAndHandsItsShaderIntensityResolutionAndPos) {
    writeProbe("data/bump.fs",
               "uniform float intensity; uniform vec2 resolution; uniform vec2 pos;\n"
               "void main() { gl_FragColor = vec4(intensity * 4.0,"
               " resolution.x / 256.0, pos.x + 0.5, 1.0); }\n");
    Effekter::TwistBox twist(context(), 0, 100000);
    const uint32_t time = 1000;
    const uint8_t posColour = uint8_t(std::lround((0.5 * std::sin(0.5) + 0.5) * 255));
    for (float beat : {1.0f, 0.0f}) {
        fillRed();
        twist.draw(time, beat);
        expectLeftAsFound("TwistBox");
        readFrame();
        const uint8_t intensityColour = uint8_t(std::lround((0.25 - 0.1 * beat) * 4 * 255));
        const Rgba column{intensityColour, 64, posColour, 255};
        int columnPixels = 0, clearedPixels = 0;
        for (const Rgba& c : frame) {
            columnPixels += near(c, column, 2);
            clearedPixels += c == Rgba{0, 0, 0, 0};
        }
        EXPECT_EQ(columnPixels + clearedPixels, windowWidth * windowHeight) << "beat " << beat;
        EXPECT_GT(columnPixels, 0) << "beat " << beat;
        EXPECT_GT(clearedPixels, 0) << "beat " << beat;
    }
}

TEST_F(ShaderEffects, WalkCubeGroundIntensityFallsWithTheBeat) {
    writeProbe("data/bravelund/walk/floorshader.fs",
               "uniform float intensity;\n"
               "void main() { gl_FragColor = vec4(intensity * 4.0, 0.0, 0.0, 1.0); }\n");
    Effekter::WalkCube walk(context(), 0, 100000);
    for (float beat : {0.0f, 1.0f}) {
        clearFrame();
        walk.draw(2000, beat);
        expectLeftAsFound("WalkCube");
        readFrame();
        // The bottom corners show bare ground.
        const uint8_t expected = uint8_t(std::lround((0.25 - 0.1 * beat) * 4 * 255));
        EXPECT_TRUE(near(pixel(1, windowHeight - 2), {expected, 0, 0, 255}, 2))
            << beat << " " << pixel(1, windowHeight - 2);
    }
}

TEST_F(ShaderEffects, MirrorHandsTheCubeShaderSeconds) {
    writeProbe("data/bravelund/tolvik/cube.fs",
               "uniform float time;\n"
               "void main() { gl_FragColor = vec4(time / 10.0, 0.0, 0.0, 1.0); }\n");
    Effekter::Mirror mirror(context(), 0, 100000);
    mirror.draw(2500, 0);
    readFrame();
    EXPECT_TRUE(near(centre(), {64, 0, 0, 255}, 2)) << centre();
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
