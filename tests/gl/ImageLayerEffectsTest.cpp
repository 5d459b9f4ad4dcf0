#include "ImageEffectSupport.h"
#include "TestShow.h"

#include "effects/ImageLayers.h"
#include "platform/Error.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace Effekter;

namespace {

constexpr Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};

} // namespace

class ImageLayers : public GlFixture {
protected:
    void SetUp() override {
        GlFixture::SetUp();
        // One texel per window pixel (64 x 64), so edges land exactly on pixel boundaries: red
        // top-left, green top-right, blue bottom-left, white bottom-right.
        writeImage(temp.file("data/quadrants.png"), 64, 64, [](int x, int y) {
            return y < 32 ? (x < 32 ? red : green) : (x < 32 ? blue : white);
        });
        writeSolid(temp, "data/white.jpg", white);
        writeSolid(temp, "data/black.jpg", {0, 0, 0, 255});
    }

    ScopedWorkingDirectory inRunDirectory{temp.path()};

    void drawOver(Effekt& effect, uint32_t time, float beat = 0, float background = 0,
                  const std::string& where = "draw") {
        clearFrame(background, background, background, 0);
        effect.draw(time, beat);
        expectCleanState(where.c_str());
        expectScreenPerspective(where);
        readFrame();
    }

    void expectWholeImageCentred() {
        EXPECT_EQ(pixel(31, 31), red);
        EXPECT_EQ(pixel(32, 31), green);
        EXPECT_EQ(pixel(31, 32), blue);
        EXPECT_EQ(pixel(32, 32), white);
    }
};

TEST_F(ImageLayers, UpRisesFromBelowTheLowerEdgeAndIsCentredHalfway) {
    AlphaBlendImage up(context(), 0, 3200, "data/quadrants.png", "UP");
    drawOver(up, 1600); // p = 0.5
    expectWholeImageCentred();
    drawOver(up, 0); // p = 0: just below the screen
    EXPECT_EQ(meanBrightness(), 0);
    // p = 1/32 lifts it by 1/16 of the screen: its top rows fill the bottom 4 pixel rows.
    drawOver(up, 100);
    EXPECT_EQ(pixel(16, 59), nothing);
    EXPECT_EQ(pixel(16, 60), red);
    EXPECT_EQ(pixel(48, 63), green);
}

TEST_F(ImageLayers, StaticFadeInAtAQuarterDrawsAQuarterColourAndAlpha) {
    // A white image over black gives 1/4 (colour) x 1/4 (alpha) of white; a black image over
    // white hides a quarter of it.
    AlphaBlendImage whiteIn(context(), 0, 4000, "data/white.jpg", "STATICFADEIN");
    drawOver(whiteIn, 1000);
    EXPECT_NEAR(meanBrightness(), 255 / 16.0, 2);
    AlphaBlendImage blackIn(context(), 0, 4000, "data/black.jpg", "STATICFADEIN");
    drawOver(blackIn, 1000, 0, 1);
    EXPECT_NEAR(meanBrightness(), 255 * 0.75, 2);
}

TEST_F(ImageLayers, UnknownModeWordShowsTheImageStillAndSaysSo) {
    testing::internal::CaptureStderr();
    AlphaBlendImage layer(context(), 5, 3200, "data/quadrants.png", "up"); // case matters
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(layer.mode, AlphaBlendImage::stillImage);
    EXPECT_NE(said.find("'up'"), std::string::npos) << said;
    EXPECT_NE(said.find("data/quadrants.png"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    drawOver(layer, 3199, 1);
    expectWholeImageCentred();

    TweakRegistry registry;
    layer.registerTweaks(registry);
    const TweakVariable* mode = registry.find("Mode");
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->address, &layer.mode);
    ASSERT_EQ(registry.enums().size(), 1u);
    EXPECT_EQ(mode->type, registry.enums()[0].type);
    EXPECT_EQ(registry.enums()[0].values.size(), 10u); // no BEATCENTER
}

TEST_F(ImageLayers, RandomModeHoldsItsPlaceUntilABeatAtLeast200MsLater) {
    AlphaBlendImage random(context(), 0, 100000, "data/quadrants.png", "RANDOM");
    drawOver(random, 1000, 1.0f);
    const auto triggered = frame;
    prng::seed(777); // whatever else used the shared generator in between
    drawOver(random, 1000, 0.1f);
    EXPECT_EQ(frame, triggered);
    drawOver(random, 1150, 1.0f);
    EXPECT_EQ(random.lastTrigger, 1000u);
    drawOver(random, 1201, 1.0f);
    EXPECT_EQ(random.lastTrigger, 1201u);
}

TEST_F(ImageLayers, FlashFadesFromWhiteToNothingAndOverlaysChangesNothing) {
    FlashWhite flash(0, 1000);
    drawOver(flash, 1, 0, 0.5f);
    EXPECT_GE(meanBrightness(), 254);
    drawOver(flash, 999, 1, 0.5f);
    EXPECT_NEAR(meanBrightness(), 128, 1.01);
    const auto grey = frame;

    glColor4f(0.3f, 0.3f, 0.3f, 0.3f);
    Overlays overlays(0, 1000);
    overlays.draw(500, 1);
    readFrame();
    EXPECT_EQ(frame, grey);
    EXPECT_EQ(currentColour()[0], 0.3f);

    EndDemo end(0, 1000);
    try {
        end.draw(500, 0);
        ADD_FAILURE() << "EndDemo returned";
    } catch (const ShowError& error) {
        EXPECT_STREQ(error.what(), "End of show");
    }
}

TEST_F(ImageLayers, EveryKeywordBuildsFromItsEntryAndHandsOnACleanState) {
    for (const char* path : {"data/zoomer/zoomer1.jpg",     "data/zoomer/zoomer2.jpg",
                             "data/zoomer/bg.jpg",          "data/zoomer/bg1.jpg",
                             "data/zoomer/zoomer2-old.jpg", "data/solaris/solaris1.jpg",
                             "data/solaris/solaris2.jpg",   "data/solaris/it.jpg",
                             "data/strobo/twist.jpg",       "data/strobo/bg.jpg",
                             "data/strobo/text.jpg",        "data/sky/clouds.jpg",
                             "data/sky/landskab1.jpg",      "data/sky/landskab1_add.jpg",
                             "data/colorbox/colorbox1.jpg", "data/colorbox/colorbox2.jpg",
                             "data/colorbox/star.jpg",      "data/mirok/brum/pastelmand.jpg",
                             "data/mirok/brum/stjern1.jpg", "data/mirok/prikker/prik3.png",
                             "data/mirok/brum/brum.png"})
        writeSolid(temp, path, {120, 160, 200, 180});
    std::string entries = "AlphaBlendImage\n1000\n61000\ndata/quadrants.png\n# comment\nBEATBACK\n";
    for (const char* keyword : {"FlashWhite", "Overlays", "Zoomba", "Zoombb", "Solaris",
                                "Stroboskop", "Tunnel", "ColorBox", "Prikker", "Brum", "EndDemo"})
        entries += std::string(keyword) + "\n1000\n61000\n";
    TestShow show = makeTestShow(entries);
    ASSERT_EQ(show->effects().size(), 12u);
    for (const auto& effect : show->effects())
        EXPECT_EQ(effect->endTime, 61000u);
    EXPECT_EQ(dynamic_cast<AlphaBlendImage&>(*show->effects()[0]).mode, AlphaBlendImage::BEATBACK);

    const std::vector<std::string> keywords = show->keywords();
    for (size_t i = 0; i + 1 < keywords.size(); ++i) // EndDemo only raises
        for (uint32_t time : {1001u, 21000u, 50000u, 60999u})
            for (float beat : {0.0f, 0.3f, 1.0f}) {
                const std::string& keyword = keywords[i];
                const std::string where = keyword + " at " + std::to_string(time);
                drawOver(*show->effects()[i], time, beat, 0, where);
                if (time == 21000 && keyword != "Overlays") {
                    EXPECT_GT(meanBrightness(), 0) << where << " drew nothing";
                }
            }
}
