#include "ImageEffectSupport.h"

#include "effects/Brum.h"
#include "effects/ColorBox.h"
#include "effects/Prikker.h"
#include "effects/Stroboskop.h"
#include "effects/Tunnel.h"
#include "effects/Zoomers.h"

#include <algorithm>

using namespace Effekter;

class SpriteEffects : public GlFixture {
protected:
    ScopedWorkingDirectory inRunDirectory{temp.path()};

    void draw(Effekt& effect, uint32_t time, float beat, float background = 0) {
        clearFrame(background, background, background, 1);
        glClearColor(0, 0, 0, 0);
        effect.draw(time, beat);
        expectCleanState("draw");
        expectScreenPerspective("draw");
        readFrame();
    }
    double meanRed() const { return meanChannel(0, 0, 0, windowWidth, windowHeight); }
};

TEST_F(SpriteEffects, ZoomerBackgroundSwaysOnWhiteWithATenthOfTheGlow) {
    for (const char* path : {"data/zoomer/zoomer1.jpg", "data/zoomer/zoomer2.jpg"})
        writeSolid(temp, path, {0, 0, 0, 255}); // black tiles change nothing
    writeSolid(temp, "data/zoomer/bg.jpg", {100, 50, 0, 255});
    writeSolid(temp, "data/zoomer/bg1.jpg", white);
    Zoomba zoomba(context(), 0, 100000);
    // T = 0: unrotated and shifted right by a quarter of the screen; the white clear shows in
    // the left eighth.
    draw(zoomba, 0, 0);
    EXPECT_EQ(pixel(4, 32), white);
    EXPECT_TRUE(near(pixel(12, 32), {126, 76, 26, 255}, 3)) << pixel(12, 32);
    EXPECT_TRUE(near(pixel(60, 5), {126, 76, 26, 255}, 3)) << pixel(60, 5);
}

TEST_F(SpriteEffects, SolarisWipesDrawsThirtySpritesAtTimeZeroAndMasks) {
    for (const char* path : {"data/solaris/solaris1.jpg", "data/solaris/solaris2.jpg"})
        writeSolid(temp, path, white);
    writeImage(
        temp.file("data/solaris/it.jpg"), 8, 8,
        [](int x, int) {
            return x < 4 ? white : Rgba{0, 0, 0, 255};
        },
        false);
    Solaris solaris(context(), 0, 100000);
    draw(solaris, 0, 0, 0.5f); // the grey drawn before is wiped
    const int nextValue = prng::next();
    EXPECT_EQ(nextValue, nthValueAfterSeed(4, 31)) << "one value for each of sprites 0 to 29";
    // The nearest sprites fill the screen with white; the mask's white half blacks out the left.
    EXPECT_LE(pixel(8, 32).r, 2);
    EXPECT_GE(pixel(56, 32).g, 250);
}

TEST_F(SpriteEffects, StroboskopMaskWeakensAfter21SecondsAndTwistCopiesAddWithTheBeat) {
    writeSolid(temp, "data/strobo/bg.jpg", {128, 128, 128, 255});
    for (const char* path : {"data/strobo/text.jpg", "data/strobo/twist.jpg"})
        writeSolid(temp, path, white);
    Stroboskop strobo(context(), 0, 100000);
    draw(strobo, 10000, 0); // band at half colour, fully darkened by the white mask
    EXPECT_LE(meanRed(), 1.0);
    EXPECT_EQ(currentColour(), (std::array<GLfloat, 4>{1, 1, 1, 1}));
    draw(strobo, 30000, 0); // from 21 s on, beat 0 darkens by half
    EXPECT_NEAR(meanRed(), 32, 2);
    draw(strobo, 10000, 0.5f); // mask at full strength; ten copies of 1/16 white add up
    EXPECT_NEAR(meanRed(), 160, 3);
}

TEST_F(SpriteEffects, TunnelLandscapeFadesInOverTheLastFifteenSeconds) {
    for (const char* path : {"data/sky/clouds.jpg", "data/sky/landskab1_add.jpg"})
        writeSolid(temp, path, {0, 0, 0, 255});
    writeSolid(temp, "data/sky/landskab1.jpg", white);
    Tunnel tunnel(context(), 0, 100000);
    for (const auto& [time, brightness] : {std::pair{50000u, 0.0}, {90000u, 0.45}, {99999u, 0.9}}) {
        draw(tunnel, time, 0.5f);
        EXPECT_NEAR(meanRed(), brightness * 255, 2) << time;
    }
    const int nextValue = prng::next();
    EXPECT_EQ(nextValue, nthValueAfterSeed(89, 4)) << "every puff re-seeds the generator";
    Tunnel early(context(), 0, 10000); // ends before 15 s of effect time: never a landscape
    draw(early, 9999, 1);
    EXPECT_EQ(meanRed(), 0);
}

TEST_F(SpriteEffects, ColorBoxFadesInOverFiveSecondsAndOutOverTwo) {
    for (const char* path : {"data/colorbox/colorbox1.jpg", "data/colorbox/colorbox2.jpg"})
        writeSolid(temp, path, white);
    // Seen at the same effect time (same spin and roll): fully in, 2500 ms after its start, and
    // 500 ms before its end. The target sits still at (3, 3), out of view of the focus.
    ColorBox full(context(), 0, 100000), rising(context(), 5000, 100000),
        closing(context(), 0, 8000);
    double sums[3] = {};
    std::vector<Rgba> fullFrame;
    for (ColorBox* box : {&full, &rising, &closing}) {
        box->previousBeat = 0;
        box->targetX = box->targetY = 3;
        box->focusX = box->focusY = -2;
        glEnable(GL_DEPTH_TEST);
        draw(*box, 7500, 0);
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << "the grid leaves the depth test off";
        EXPECT_EQ(currentColour(), (std::array<GLfloat, 4>{0.5f, 0.5f, 0.5f, 0.5f}));
        for (const Rgba& c : frame)
            sums[box == &full ? 0 : box == &rising ? 1 : 2] += c.g;
        if (box == &full)
            fullFrame = frame;
        if (box == &rising) {
            for (size_t p = 0; p < frame.size(); ++p)
                ASSERT_NEAR(frame[p].g, fullFrame[p].g * 0.5, 2) << p;
        }
    }
    EXPECT_GT(sums[0] / double(fullFrame.size()), 40) << "the grid must be clearly visible";
    EXPECT_NEAR(sums[1] / sums[0], 0.5, 0.02);
    EXPECT_NEAR(sums[2] / sums[0], 0.25, 0.02);

    // The target moves on a drop of the beat, at most once in 200 ms.
    ColorBox box(context(), 0, 100000);
    draw(box, 1000, 0.5f); // the first frame counts as a drop
    draw(box, 1100, 0.2f);
    EXPECT_EQ(box.lastMove, 1000u);
    draw(box, 1300, 0.2f); // equal beat: no drop
    EXPECT_EQ(box.lastMove, 1000u);
    draw(box, 1400, 0.1f);
    EXPECT_EQ(box.lastMove, 1400u);
}

TEST_F(SpriteEffects, PrikkerStartsBlackAndShowsOnlyTheThirdImage) {
    for (const char* path : {"data/mirok/prikker/prik1.png", "data/mirok/prikker/prik2.png",
                             "data/mirok/prikker/prik4.png"})
        writeSolid(temp, path, {255, 0, 0, 255});
    writeSolid(temp, "data/mirok/prikker/prik3.png", white);
    Prikker prikker(context(), 1000, 200000);
    draw(prikker, 1000, 1, 0.25f); // E = 0: every dot at colour 0
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](const Rgba& c) {
        return near(c, {64, 64, 64, 255}, 1);
    }));
    double lit = 0;
    for (uint32_t time : {2500u, 9000u, 60000u}) {
        draw(prikker, time, 0.5f);
        lit += meanBrightness();
        EXPECT_TRUE(
            std::all_of(frame.begin(), frame.end(), [](const Rgba& c) { return c.r == c.g; }))
            << "a dot drawn with another image than the third at " << time;
    }
    EXPECT_GT(lit, 1);
}

TEST_F(SpriteEffects, BrumParticlesStayBoundedOverMinutesAndAfterSeeking) {
    writeSolid(temp, "data/mirok/brum/stjern1.jpg", white);
    Brum brum(context(), 0, -1);
    // Ten frames a second for over three minutes: a birth every frame, each living up to ten
    // seconds (100 frames).
    const uint32_t step = 100, lifeFrames = 10000 / step + 1;
    size_t most = 0;
    uint32_t time = 100;
    for (int frameNumber = 0; frameNumber < 2000; ++frameNumber, time += step) {
        brum.draw(time, 0);
        most = std::max(most, brum.particles.size());
    }
    expectCleanState("minutes of Brum");
    EXPECT_LE(most, lifeFrames);
    EXPECT_GT(most, lifeFrames / 2) << "particles should live up to ten seconds";
    time -= 3000; // seek back and play on
    for (int frameNumber = 0; frameNumber < 500; ++frameNumber, time += step) {
        brum.draw(time, 0);
        most = std::max(most, brum.particles.size());
    }
    EXPECT_LE(most, 2 * lifeFrames);
    EXPECT_TRUE(std::all_of(brum.particles.begin(), brum.particles.end(),
                            [&](const Brum::Particle& p) { return p.death >= time - step; }))
        << "a particle past its death is still kept";
}

TEST_F(SpriteEffects, BrumSpawnsEveryTenMillisecondsLeavesOutStillbornsAndRegistersTweaks) {
    Brum brum(context(), 0, 100000);
    draw(brum, 1000, 0);
    draw(brum, 1010, 0);
    EXPECT_EQ(brum.particles.size(), 1u);
    draw(brum, 1021, 0);
    EXPECT_EQ(brum.particles.size(), 2u);
    // A seed whose fourth value is 0 gives a particle that would die at its birth.
    uint32_t stillborn = 0;
    while (nthValueAfterSeed(stillborn, 4) != 0)
        ++stillborn;
    prng::seed(stillborn);
    draw(brum, 1040, 0);
    EXPECT_EQ(brum.particles.size(), 2u);
    EXPECT_EQ(context().shared.get<BrumSpawn>().last, 1040u);

    TweakRegistry registry;
    brum.registerTweaks(registry);
    const TweakVariable* position = registry.find("BGPos");
    const TweakVariable* scale = registry.find("BGScale");
    ASSERT_TRUE(position && scale);
    EXPECT_EQ(position->address, &brum.bgPos);
    EXPECT_EQ(scale->address, &brum.bgScale);
    EXPECT_EQ(scale->type, TweakDir3F);
}
