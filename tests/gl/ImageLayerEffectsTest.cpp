#include "ImageEffectSupport.h"

#include "effects/ImageLayers.h"
#include "platform/Error.h"
#include "timeline/Tweaks.h"

#include <algorithm>
#include <string>

using namespace Effekter;

namespace {

constexpr Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};

// Quadrants: red top-left, green top-right, blue bottom-left, white bottom-right.
Rgba quadrant(int x, int y, int size) {
    const bool right = x >= size / 2, bottom = y >= size / 2;
    return bottom ? (right ? white : blue) : (right ? green : red);
}

} // namespace

class ImageLayers : public GlFixture {
  protected:
    void SetUp() override {
        GlFixture::SetUp();
        // One texel per window pixel, so edges land exactly on pixel boundaries.
        writeImage(temp.file("data/quadrants.png"), windowWidth, windowHeight,
                   [this](int x, int y) { return quadrant(x, y, windowWidth); });
        writeSolid(temp, "data/white.jpg", white);
        writeSolid(temp, "data/black.jpg", black);
    }

    ScopedWorkingDirectory inRunDirectory{temp.path()};

    void drawOnBlack(Effekt& effect, uint32_t time, float beat = 0) {
        clearFrame();
        effect.draw(time, beat);
        expectCleanState("draw");
        expectScreenPerspective("draw");
        readFrame();
    }

    void expectWholeImageCentred() {
        EXPECT_EQ(pixel(16, 16), red);
        EXPECT_EQ(pixel(31, 31), red);
        EXPECT_EQ(pixel(32, 31), green);
        EXPECT_EQ(pixel(31, 32), blue);
        EXPECT_EQ(pixel(32, 32), white);
        EXPECT_EQ(pixel(63, 63), white);
    }
};

TEST_F(ImageLayers, UpRisesFromBelowTheLowerEdgeAndIsCentredHalfway) {
    AlphaBlendImage up(0, 3200, "data/quadrants.png", "UP");
    EXPECT_EQ(up.name, "data/quadrants.png");

    drawOnBlack(up, 1600); // p = 0.5
    expectWholeImageCentred();

    drawOnBlack(up, 0); // p = 0: just below the screen
    EXPECT_EQ(meanBrightness(), 0);

    // p = 1/32 moves it up by 1/16 of the screen: its top rows fill the bottom 4 pixel rows.
    drawOnBlack(up, 100);
    EXPECT_EQ(pixel(16, 59), nothing);
    EXPECT_EQ(pixel(16, 60), red);
    EXPECT_EQ(pixel(48, 63), green);
}

TEST_F(ImageLayers, SlidingModesEnterFromTheirOwnEdge) {
    struct Case {
        const char* mode;
        int x, y;   // a pixel just inside the entering edge
        int ox, oy; // a pixel just beyond the part shown
        Rgba seen;
    };
    const Case cases[] = {
        {"UP", 10, 60, 10, 59, red},
        {"DOWN", 10, 3, 10, 4, blue},
        {"LEFT", 60, 10, 59, 10, red},
        {"RIGHT", 3, 10, 4, 10, green},
    };
    for (const Case& c : cases) {
        AlphaBlendImage layer(0, 3200, "data/quadrants.png", c.mode);
        drawOnBlack(layer, 100);
        EXPECT_EQ(pixel(c.x, c.y), c.seen) << c.mode;
        EXPECT_EQ(pixel(c.ox, c.oy), nothing) << c.mode;
    }
}

TEST_F(ImageLayers, StaticFadesScaleColourAndCoverage) {
    // At a quarter of the window the fade-in draws with colour and alpha at a quarter: a white
    // image over black gives 1/4 x 1/4 of white, and a black image hides a quarter of the white.
    AlphaBlendImage whiteIn(0, 4000, "data/white.jpg", "STATICFADEIN");
    drawOnBlack(whiteIn, 1000);
    EXPECT_NEAR(meanChannel(1, 0, 0, 64, 64), 255 / 16.0, 2);

    AlphaBlendImage blackIn(0, 4000, "data/black.jpg", "STATICFADEIN");
    clearFrame(1, 1, 1, 1);
    blackIn.draw(1000, 0);
    expectCleanState("fade-in");
    readFrame();
    EXPECT_NEAR(meanChannel(0, 0, 0, 64, 64), 255 * 0.75, 2);

    AlphaBlendImage whiteOut(0, 4000, "data/white.jpg", "STATICFADEOUT");
    drawOnBlack(whiteOut, 1000);
    EXPECT_NEAR(meanChannel(2, 0, 0, 64, 64), 255 * 0.75 * 0.75, 2);
}

TEST_F(ImageLayers, UnknownModeWordShowsTheImageStillAndSaysSo) {
    StderrText err;
    AlphaBlendImage layer(5, 3200, "data/quadrants.png", "up"); // case matters
    const std::string said = err.text();
    EXPECT_EQ(layer.mode, AlphaBlendImage::stillImage);
    EXPECT_NE(said.find("'up'"), std::string::npos) << said;
    EXPECT_NE(said.find("data/quadrants.png"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

    for (uint32_t time : {6u, 1600u, 3199u})
        for (float beat : {0.0f, 1.0f}) {
            drawOnBlack(layer, time, beat);
            expectWholeImageCentred();
        }
}

TEST_F(ImageLayers, BeatModesRetriggerAndKeepTheirPlaceBetweenTriggers) {
    AlphaBlendImage random(0, 100000, "data/quadrants.png", "RANDOM");
    drawOnBlack(random, 1000, 1.0f);
    EXPECT_EQ(random.lastTrigger, 1000u);
    const auto triggered = frame;
    // Without a new trigger the picture stays put, whatever else used the shared generator.
    prng::seed(777);
    drawOnBlack(random, 1000, 0.1f);
    EXPECT_EQ(frame, triggered);
    drawOnBlack(random, 1150, 1.0f); // within 200 ms: no new trigger
    EXPECT_EQ(random.lastTrigger, 1000u);
    drawOnBlack(random, 1201, 1.0f);
    EXPECT_EQ(random.lastTrigger, 1201u);

    // BEATBACK re-triggers on every strong frame and shrinks a quarter per 100 ms after.
    AlphaBlendImage back(0, 2000, "data/white.jpg", "BEATBACK");
    drawOnBlack(back, 1000, 0.3f);
    drawOnBlack(back, 1010, 0.3f);
    EXPECT_EQ(back.lastTrigger, 1010u);
    drawOnBlack(back, 1210, 0.0f); // half size, centred 0.5 below the middle
    EXPECT_EQ(pixel(32, 40), white);
    EXPECT_EQ(pixel(32, 20), nothing);
    EXPECT_EQ(pixel(10, 40), nothing);
}

TEST_F(ImageLayers, ModeTweakIsRegisteredWithTenLabels) {
    TweakRegistry& registry = TweakRegistry::instance();
    registry.terminate();
    AlphaBlendImage layer(0, 1000, "data/white.jpg", "BEATUP");
    layer.registerTweaks();
    const TweakVariable* variable = registry.find("Mode");
    ASSERT_NE(variable, nullptr);
    EXPECT_EQ(variable->address, &layer.mode);
    EXPECT_EQ(variable->definition, "label='Mode'");
    ASSERT_EQ(registry.enums().size(), 1u);
    const TweakEnum& modes = registry.enums()[0];
    EXPECT_EQ(variable->type, modes.type);
    ASSERT_EQ(modes.values.size(), 10u);
    EXPECT_EQ(modes.values[7].label, "RANDOM");
    EXPECT_EQ(modes.values[8].value, AlphaBlendImage::STATICFADEOUT);
    registry.terminate();
}

TEST_F(ImageLayers, FlashFadesFromWhiteToNothing) {
    FlashWhite flash(0, 1000);
    clearFrame(0.5f, 0.5f, 0.5f, 1);
    flash.draw(1, 0);
    expectCleanState("first flash frame");
    expectScreenPerspective("first flash frame");
    readFrame();
    EXPECT_GE(meanBrightness(), 254);

    clearFrame(0.5f, 0.5f, 0.5f, 1);
    flash.draw(999, 1);
    readFrame();
    EXPECT_NEAR(meanBrightness(), 128, 1.01);
}

TEST_F(ImageLayers, OverlaysChangesNothingAndEndDemoEndsTheShow) {
    clearFrame(0.2f, 0.4f, 0.6f, 1);
    readFrame();
    const auto before = frame;
    glColor4f(0.3f, 0.3f, 0.3f, 0.3f);
    Overlays overlays(0, 1000);
    overlays.draw(500, 1);
    readFrame();
    EXPECT_EQ(frame, before);
    EXPECT_EQ(currentColour()[0], 0.3f);
    expectCleanState("overlays");

    EndDemo end(0, 1000);
    try {
        end.draw(500, 0);
        ADD_FAILURE() << "EndDemo returned";
    } catch (const ShowError& error) {
        EXPECT_STREQ(error.what(), "End of show");
    }
}
