// The render-target effects (NanoBall, Spheres, Manden) on the virtual display, each in a run
// directory with images of plain known colours and either the committed shaders or pass-through
// shaders whose output can be predicted.

#include "GlFixture.h"
#include "TestShow.h"

#include "effects/Manden.h"
#include "effects/NanoBall.h"
#include "effects/Spheres.h"
#include "render/GLState.h"
#include "render/Random.h"

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr Rgba black{0, 0, 0, 255};
constexpr Rgba red{255, 0, 0, 255};
constexpr Rgba green{0, 255, 0, 255};
constexpr Rgba blue{0, 0, 255, 255};

const char* const committedShaders[] = {
    "data/bravelund/nanoball/cubeshader.fs", "data/bravelund/nanoball/cubeshader.vs",
    "data/bravelund/nanoball/bend.fs",       "data/bravelund/spheres/shader.fs",
    "data/bravelund/mansphere/manden.fs",
};

// Shows the bound texture unchanged.
const char* const passThrough = "uniform sampler2D picture;\n"
                                "void main() { gl_FragColor = texture2D(picture, "
                                "gl_TexCoord[0].st); }\n";
// Spikes in plain green, whatever is bound.
const char* const greenSpikes = "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n";

void writePlain(const std::string& path, Rgba colour) {
    writeImage(
        path, 16, 16, [&](int, int) { return colour; }, colour.a != 255);
}

bool isGreen(const Rgba& c) { return c.g > 128 && c.r < 100 && c.b < 100; }
bool isRed(const Rgba& c) { return c.r > 128 && c.g < 100 && c.b < 100; }

} // namespace

class RenderTargetEffects : public GlFixture {
protected:
    std::filesystem::path run;

    void SetUp() override {
        GlFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        run = temp.path() / "run";
        writePlain(file("data/bravelund/nanoball/zoomer1.jpg"), {40, 80, 200, 255});
        writePlain(file("data/bravelund/nanoball/flare.jpg"), {255, 240, 200, 255});
        writePlain(file("data/bravelund/nanoball/bg.jpg"), {20, 20, 60, 255});
        writePlain(file("data/bravelund/spheres/towers.png"), blue);
        writePlain(file("data/bravelund/spheres/towerenv.png"), green);
        writePlain(file("data/bravelund/spheres/white.png"), red);
        writePlain(file("data/bravelund/mansphere/manden.png"), black);
        writePlain(file("data/bravelund/mansphere/pole.jpg"), green);
        // Red on the left half, blue on the right: the seam marks the image's middle.
        writeImage(file("data/bravelund/mansphere/greets.png"), 32, 32,
                   [](int x, int) { return x < 16 ? red : blue; });
        for (const char* shader : committedShaders)
            copySourceData(run, shader);
        enterFolder(run);
    }

    using NanoBall = Effekter::NanoBall;

    std::string file(const std::string& relativePath) const {
        return (run / relativePath).string();
    }

    void writeShader(const std::string& relativePath, const char* source) {
        writeTextFile(file(relativePath), source);
    }

    // The clean state, plus what all three leave: depth test and culling off, the model-view
    // matrix current, identity and unpushed, the screen's viewport and perspective.
    void expectLeftAsFound(const std::string& where) {
        expectNoGlError(where.c_str());
        expectCleanState(where.c_str());
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << where;
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << where;
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << where;
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0)) << where;
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << where;
        expectScreenPerspective(where);
    }

    int countPixels(const std::function<bool(const Rgba&)>& test) const {
        int count = 0;
        for (const Rgba& c : frame)
            count += test(c);
        return count;
    }

    // Mean column of the pixels that pass the test, or -1 when there are none.
    double meanColumn(const std::function<bool(const Rgba&)>& test) const {
        double sum = 0;
        int count = 0;
        for (int y = 0; y < windowHeight; ++y)
            for (int x = 0; x < windowWidth; ++x)
                if (test(pixel(x, y))) {
                    sum += x;
                    ++count;
                }
        return count ? sum / count : -1;
    }

    std::vector<Rgba> drawn(Effekt& effect, uint32_t time, float beat) {
        clearFrame();
        effect.draw(time, beat);
        readFrame();
        return frame;
    }
};

TEST_F(RenderTargetEffects, EveryKeywordDrawsAtManyTimesAndBeatsLeavingTheStateClean) {
    const uint32_t start = 1000, end = 30000;
    const uint32_t times[] = {1001, 1300, 1512, 2000, 6000, 24000, 29999};
    const float beats[] = {0, 0.5f, 1};
    for (const char* keyword : {"NanoBall", "Spheres", "Manden"}) {
        TestShow show = makeTestShow(std::string(keyword) + "\n" + std::to_string(start) + "\n" +
                                     std::to_string(end) + "\n");
        ASSERT_EQ(show->effects().size(), 1u) << keyword;
        Effekt* effect = show->effects()[0].get();
        expectLeftAsFound(std::string(keyword) + " construction");
        for (uint32_t time : times)
            for (float beat : beats) {
                clearFrame(1, 0, 0, 1);
                glClearColor(0, 0, 0, 0);
                effect->draw(time, beat);
                const std::string where = std::string(keyword) + " at " + std::to_string(time) +
                                          " beat " + std::to_string(beat);
                expectLeftAsFound(where);
                readFrame();
                EXPECT_LT(countPixels([](const Rgba& c) {
                              return c == Rgba{255, 0, 0, 255};
                          }),
                          windowWidth * windowHeight)
                    << where << ": nothing drawn over the earlier red";
            }
    }
}

class NanoBallTest : public RenderTargetEffects {
protected:
    NanoBallTest() {
        windowWidth = 96;
        windowHeight = 96;
    }
};

TEST_F(NanoBallTest, GrowsOneSpikePerMillisecondUpTo512) {
    writeShader("data/bravelund/nanoball/cubeshader.fs", greenSpikes);
    writeShader("data/bravelund/nanoball/cubeshader.vs",
                "void main() { gl_Position = ftransform(); }\n");
    // Balls of different ages seen at one time: the same place and turn, only the count differs.
    // A beat of 0.5 keeps the ball from drifting without counting a beat.
    const uint32_t time = 40000;
    auto ballAged = [&](uint32_t elapsed) {
        FamilyStates fresh; // each ball starts the beat count anew
        NanoBall ball({frameInputs(), files(), fresh}, int32_t(time - elapsed),
                      int32_t(time + 60000));
        return drawn(ball, time, 0.5f);
    };
    frame = ballAged(0);
    EXPECT_EQ(countPixels(isGreen), 0) << "a spike at elapsed 0";
    expectLeftAsFound("NanoBall at elapsed 0");

    const std::vector<Rgba> full = ballAged(512);
    frame = full;
    const int fullArea = countPixels(isGreen);
    EXPECT_GT(fullArea, 500);
    for (uint32_t elapsed : {513u, 700u, 20000u})
        EXPECT_TRUE(ballAged(elapsed) == full) << "elapsed " << elapsed;

    // Every spike's direction and length depend on the count, so one spike less shows.
    EXPECT_FALSE(ballAged(511) == full);
}

TEST_F(NanoBallTest, CountsBeatsOnlyWhenLoudAndMoreThan300MsApart) {
    NanoBall ball(context(), 0, 100000);
    ball.draw(1000, 1);
    EXPECT_EQ(ball.beatState().beatCount, 0) << "the first draw starts the count";
    EXPECT_EQ(ball.beatState().lastBeatEvent, 1000u);
    ball.draw(1300, 1);
    EXPECT_EQ(ball.beatState().beatCount, 0) << "300 ms is not more than 300 ms";
    ball.draw(1301, 1);
    EXPECT_EQ(ball.beatState().beatCount, 1);
    ball.draw(1400, 1);
    EXPECT_EQ(ball.beatState().beatCount, 1);

    ball.draw(5000, 0.5f);
    EXPECT_EQ(ball.beatState().beatCount, 1) << "0.5 is not a beat";
    EXPECT_EQ(ball.lastLoudTime(), 5000u) << "but it stops the drift";
    ball.draw(6000, 0.2f);
    EXPECT_EQ(ball.lastLoudTime(), 5000u);

    // The count goes on across objects; every fourth beat is a new bar.
    NanoBall later(context(), 50000, 100000);
    for (uint32_t time = 60000; time < 61600; time += 400)
        later.draw(time, 0.9f);
    EXPECT_EQ(ball.beatState().beatCount, 5);
    EXPECT_EQ(ball.beatState().barCount, 1);
    expectLeftAsFound("NanoBall after beats");
}

TEST_F(NanoBallTest, FadesWithTheBeatAndOverItsLastSevenSeconds) {
    NanoBall ball(context(), 0, 20000);
    auto brightnessLeft = [&](uint32_t time, float beat) {
        ball.draw(time, beat);
        GLfloat colour[4] = {};
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_FLOAT_EQ(colour[0], colour[3]);
        return colour[0];
    };
    EXPECT_NEAR(brightnessLeft(5000, 0), 0.5f, 1e-5f);
    EXPECT_NEAR(brightnessLeft(5000, 1), 1.0f, 1e-5f);
    EXPECT_NEAR(brightnessLeft(13000, 1), 1.0f, 1e-5f);
    EXPECT_NEAR(brightnessLeft(16500, 1), 0.5f, 1e-5f);
    EXPECT_NEAR(brightnessLeft(19930, 0), 0.005f, 1e-5f);
}

TEST_F(RenderTargetEffects, SpheresRepeatExactlyForEqualTimeAndBeat) {
    Effekter::Spheres spheres(context(), 0, 60000);
    const std::vector<Rgba> first = drawn(spheres, 7000, 0.5f);
    drawn(spheres, 9000, 1);
    prng::seed(999);
    EXPECT_TRUE(drawn(spheres, 7000, 0.5f) == first);
    EXPECT_FALSE(drawn(spheres, 7000, 0.9f) == first);
    expectLeftAsFound("Spheres");
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f) << "white is put back";
}

TEST_F(RenderTargetEffects, SpheresSwellWithTheBeat) {
    writeShader("data/bravelund/spheres/shader.fs", passThrough);
    Effekter::Spheres spheres(context(), 15000, 60000);
    // At 15708 ms the scene stands at its farthest (z = -20) and the cubes have not come in yet.
    frame = drawn(spheres, 15708, 0);
    EXPECT_GT(countPixels([](const Rgba& c) { return c.b > 200 && c.r < 50; }), 2000)
        << "the background";
    const int quiet = countPixels(isRed);
    frame = drawn(spheres, 15708, 1);
    const int loud = countPixels(isRed);
    // Radius 1.5 against 2.5: (2.5 / 1.5)^2 = 2.8 times the area.
    EXPECT_NEAR(double(loud) / quiet, 2.78, 0.4) << quiet << " " << loud;
    const double middle = (windowWidth - 1) / 2.0;
    EXPECT_NEAR(meanColumn(isRed), middle, 1.0);
}

TEST_F(RenderTargetEffects, MandenGreetingsCrossTheScreenOnceOverTheWindow) {
    writeShader("data/bravelund/mansphere/manden.fs", passThrough);
    Effekter::Manden manden(context(), 10000, 14000);
    const int row = windowHeight / 2;
    clearFrame(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    manden.draw(12000, 0);
    readFrame();
    EXPECT_TRUE(near(pixel(28, row), red, 8)) << "half-way, left of the middle " << pixel(28, row);
    EXPECT_TRUE(near(pixel(36, row), blue, 8))
        << "half-way, right of the middle " << pixel(36, row);
    EXPECT_TRUE(near(pixel(60, 2), blue, 8)) << "earlier drawing wiped " << pixel(60, 2);

    manden.draw(13000, 0);
    readFrame();
    EXPECT_TRUE(near(pixel(36, row), red, 8)) << "later the seam has moved right";
    EXPECT_TRUE(near(pixel(60, row), red, 8));

    // A full beat: three quarters of the colour at three quarters opacity over the black figure.
    manden.draw(12000, 1);
    readFrame();
    const Rgba dimmed = pixel(28, row);
    EXPECT_TRUE(near({dimmed.r, dimmed.g, dimmed.b, 255}, {143, 0, 0, 255}, 8)) << dimmed;
    expectLeftAsFound("Manden");
}

TEST_F(RenderTargetEffects, MandenHelixSlidesInFromTheRight) {
    Effekter::Manden manden(context(), 10000, 40000);
    auto helixColumn = [&](uint32_t elapsed) {
        frame = drawn(manden, 10000 + elapsed, 0);
        return meanColumn(isGreen);
    };
    // x = 5 at z = -60 seen through 40 degrees.
    const double expected = (1 + 5 / (60 * std::tan(20 * M_PI / 180))) / 2 * windowWidth - 0.5;
    EXPECT_NEAR(helixColumn(250), expected, 2.5);
    EXPECT_GT(helixColumn(1), windowWidth * 0.9) << "at first only its left edge shows";
    const double later = helixColumn(700);
    EXPECT_GT(later, 0);
    EXPECT_LT(later, windowWidth * 0.3) << "from half a second on it stands at x = -20";
    const double muchLater = helixColumn(20000);
    EXPECT_GT(muchLater, 0);
    EXPECT_LT(muchLater, windowWidth * 0.3) << "and stays there";
    expectLeftAsFound("Manden helix");
}
