#include "ImageEffectSupport.h"

#include "effects/Stroboskop.h"
#include "effects/Tunnel.h"
#include "effects/Zoomers.h"

using namespace Effekter;

class ZoomersAndTunnel : public GlFixture {
  protected:
    ScopedWorkingDirectory inRunDirectory{temp.path()};

    void draw(Effekt& effect, uint32_t time, float beat) {
        effect.draw(time, beat);
        expectCleanState("draw");
        expectScreenPerspective("draw");
        readFrame();
    }
    double meanRed() const { return meanChannel(0, 0, 0, windowWidth, windowHeight); }
};

TEST_F(ZoomersAndTunnel, ZoomerBackgroundSwaysOnWhiteWithATenthOfTheGlow) {
    writeSolids(temp, {"data/zoomer/zoomer1.jpg", "data/zoomer/zoomer2.jpg"}, black);
    writeSolid(temp, "data/zoomer/bg.jpg", {100, 50, 0, 255});
    writeSolid(temp, "data/zoomer/bg1.jpg", white);
    Zoomba zoomba(0, 100000);
    clearFrame(1, 0, 0, 1);
    // T = 0: the background is unrotated and shifted right by a quarter of the screen, so the
    // white clear shows in the left eighth; black tiles change nothing.
    draw(zoomba, 0, 0);
    EXPECT_EQ(pixel(4, 32), white);
    EXPECT_TRUE(near(pixel(12, 32), {126, 76, 26, 255}, 3)) << pixel(12, 32);
    EXPECT_TRUE(near(pixel(60, 5), {126, 76, 26, 255}, 3)) << pixel(60, 5);
    std::array<GLfloat, 4> clearColour{};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour.data());
    EXPECT_EQ(clearColour, (std::array<GLfloat, 4>{0, 0, 0, 0}));
    for (uint32_t time : {1000u, 20000u, 99999u})
        for (float beat : {0.0f, 0.5f, 1.0f})
            draw(zoomba, time, beat);
}

TEST_F(ZoomersAndTunnel, ZoombbDrawsLikeZoombaWithItsOwnTiles) {
    writeSolids(temp, {"data/zoomer/zoomer1.jpg", "data/zoomer/bg.jpg"}, {90, 90, 90, 255});
    writeSolid(temp, "data/zoomer/bg1.jpg", black);
    writeSolid(temp, "data/zoomer/zoomer2.jpg", black);
    Zoomba darkTiles(0, 100000);
    draw(darkTiles, 5000, 0.5f);
    const auto untiled = frame;

    const auto stripes = [](int x, int) { return x % 4 < 2 ? Rgba{200, 30, 30, 255} : white; };
    writeImage(temp.file("data/zoomer/zoomer2.jpg"), 16, 16, stripes, false);
    writeImage(temp.file("data/zoomer/zoomer2-old.jpg"), 16, 16, stripes, false);
    Zoomba zoomba(0, 100000);
    Zoombb zoombb(0, 100000);
    draw(zoomba, 5000, 0.5f);
    const auto tiled = frame;
    draw(zoombb, 5000, 0.5f);
    EXPECT_EQ(frame, tiled);
    EXPECT_NE(frame, untiled);
}

TEST_F(ZoomersAndTunnel, SolarisWipesDrawsThirtySpritesAtTimeZeroAndMasks) {
    writeSolids(temp, {"data/solaris/solaris1.jpg", "data/solaris/solaris2.jpg"}, white);
    writeImage(temp.file("data/solaris/it.png"), 8, 8,
               [](int x, int) { return x < 4 ? white : black; });
    std::filesystem::rename(temp.file("data/solaris/it.png"), temp.file("data/solaris/it.jpg"));
    Solaris solaris(0, 100000);

    clearFrame(1, 0, 0, 1);
    glClearColor(0, 0, 0, 0);
    draw(solaris, 0, 0);
    // Sprites 0 to 29 each take one value after seed 4; sprite 30 is skipped.
    const int nextValue = prng::next();
    EXPECT_EQ(nextValue, nthValueAfterSeed(4, 31));
    // The nearest sprites fill the screen with white; the mask's white half blacks out the left.
    EXPECT_EQ(pixel(8, 32).r + pixel(8, 32).g + pixel(8, 32).b, 0);
    EXPECT_EQ(pixel(56, 32).r, 255);
    EXPECT_EQ(pixel(56, 32).g, 255);

    for (uint32_t time : {1u, 30000u, 99999u})
        for (float beat : {0.0f, 0.5f, 1.0f})
            draw(solaris, time, beat);

    // Sprites from a black image add nothing: what was drawn before is wiped to the clear colour.
    writeSolids(temp, {"data/solaris/solaris1.jpg", "data/solaris/solaris2.jpg"}, black);
    Solaris dark(0, 100000);
    clearFrame(1, 0, 0, 1);
    glClearColor(0, 0, 0, 0);
    draw(dark, 2000, 1);
    EXPECT_LE(meanRed(), 1.0);
}

TEST_F(ZoomersAndTunnel, StroboskopMaskWeakensAfter21SecondsAndTwistCopiesAddWithTheBeat) {
    writeSolid(temp, "data/strobo/bg.jpg", {128, 128, 128, 255});
    writeSolids(temp, {"data/strobo/text.jpg", "data/strobo/twist.jpg"}, white);
    Stroboskop strobo(0, 100000);

    clearFrame();
    draw(strobo, 10000, 0); // band at half colour, fully darkened by the white mask
    EXPECT_LE(meanRed(), 1.0);
    EXPECT_EQ(currentColour(), (std::array<GLfloat, 4>{1, 1, 1, 1}));

    clearFrame();
    prng::seed(5);
    draw(strobo, 30000, 0); // from 21 s on the mask darkens by half at beat 0
    EXPECT_NEAR(meanRed(), 32, 2);
    const int nextValue = prng::next();
    EXPECT_EQ(nextValue, nthValueAfterSeed(5, 2)) << "the mask takes one random value";

    clearFrame();
    draw(strobo, 10000, 0.5f); // mask at full strength; ten copies of 1/16 white add up
    EXPECT_NEAR(meanRed(), 160, 3);

    for (uint32_t time : {1u, 21000u, 99999u})
        for (float beat : {0.0f, 1.0f})
            draw(strobo, time, beat);
}

TEST_F(ZoomersAndTunnel, TunnelLandscapeFadesInOverTheLastFifteenSeconds) {
    writeSolids(temp, {"data/sky/clouds.jpg", "data/sky/landskab1_add.jpg"}, black);
    writeSolid(temp, "data/sky/landskab1.jpg", white);
    Tunnel tunnel(0, 100000);
    const std::pair<uint32_t, double> stages[] = {{50000, 0}, {90000, 0.45}, {99999, 0.9}};
    for (const auto& [time, brightness] : stages) {
        clearFrame();
        draw(tunnel, time, 0.5f);
        EXPECT_NEAR(meanRed(), brightness * 255, 2) << time;
    }
    // Every puff re-seeds the generator, so it ends three values past the seed.
    const int nextValue = prng::next();
    EXPECT_EQ(nextValue, nthValueAfterSeed(89, 4));

    Tunnel early(0, 10000); // ends before 15 s of effect time: never a landscape
    clearFrame();
    draw(early, 9999, 1);
    EXPECT_EQ(meanRed(), 0);
}

TEST_F(ZoomersAndTunnel, TunnelCloudsThinOutAsTheLandscapeComes) {
    writeSolids(temp, {"data/sky/landskab1.jpg", "data/sky/landskab1_add.jpg"}, black);
    writeSolid(temp, "data/sky/clouds.jpg", white);
    Tunnel tunnel(0, 100000);
    clearFrame();
    draw(tunnel, 50000, 0);
    const double fullClouds = meanRed();
    EXPECT_GT(fullClouds, 40);
    clearFrame();
    draw(tunnel, 99999, 0); // clouds at a tenth of their strength
    EXPECT_LT(meanRed(), fullClouds * 0.2);
    for (uint32_t time : {1u, 500u, 86000u})
        for (float beat : {0.0f, 1.0f})
            draw(tunnel, time, beat);
}
