#include "ImageEffectSupport.h"

#include "effects/Brum.h"
#include "effects/ColorBox.h"
#include "effects/Prikker.h"
#include "timeline/Tweaks.h"

#include <algorithm>
#include <cmath>

using namespace Effekter;

class ParticleEffects : public GlFixture {
  protected:
    ScopedWorkingDirectory inRunDirectory{temp.path()};

    void draw(Effekt& effect, uint32_t time, float beat) {
        effect.draw(time, beat);
        expectCleanState("draw");
        expectScreenPerspective("draw");
    }
};

namespace {

// A ColorBox whose target sits still at (3, 3), out of view of the focus (-2, -2).
void holdTarget(ColorBox& box) {
    box.previousBeat = 0; // beat 0 is then no drop
    box.targetX = box.targetY = 3;
    box.focusX = box.focusY = -2;
}

} // namespace

TEST_F(ParticleEffects, ColorBoxFadesInOverFiveSecondsAndOutOverTwo) {
    writeSolids(temp, {"data/colorbox/colorbox1.jpg", "data/colorbox/colorbox2.jpg"}, white);
    writeSolid(temp, "data/colorbox/star.jpg", white);
    // Three windows seen at the same effect time 7500 (so the same spin and camera roll): fully
    // faded in, 2500 ms after its start, and 500 ms before its end.
    ColorBox full(0, 100000), rising(5000, 100000), closing(0, 8000);
    std::vector<Rgba> frames[3];
    ColorBox* boxes[3] = {&full, &rising, &closing};
    for (int i = 0; i < 3; ++i) {
        holdTarget(*boxes[i]);
        clearFrame();
        glEnable(GL_DEPTH_TEST);
        draw(*boxes[i], 7500, 0);
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << "the grid leaves the depth test off";
        EXPECT_EQ(currentColour(), (std::array<GLfloat, 4>{0.5f, 0.5f, 0.5f, 0.5f}));
        readFrame();
        frames[i] = frame;
    }
    double fullSum = 0, risingSum = 0, closingSum = 0;
    for (size_t p = 0; p < frames[0].size(); ++p) {
        fullSum += frames[0][p].g;
        risingSum += frames[1][p].g;
        closingSum += frames[2][p].g;
        EXPECT_NEAR(frames[1][p].g, frames[0][p].g * 0.5, 2) << p;
    }
    EXPECT_GT(fullSum / double(frames[0].size()), 40) << "the grid must be clearly visible";
    EXPECT_NEAR(risingSum / fullSum, 0.5, 0.02);
    EXPECT_NEAR(closingSum / fullSum, 0.25, 0.02);
}

TEST_F(ParticleEffects, ColorBoxTargetJumpsOnBeatDropsAtMostEvery200Ms) {
    writeSolids(temp, {"data/colorbox/colorbox1.jpg", "data/colorbox/colorbox2.jpg"}, white);
    ColorBox box(0, 100000);
    draw(box, 1000, 0.5f); // the first frame counts as a drop
    EXPECT_EQ(box.lastMove, 1000u);
    draw(box, 1100, 0.2f); // a drop within 200 ms
    EXPECT_EQ(box.lastMove, 1000u);
    draw(box, 1300, 0.2f); // no drop: equal beat
    EXPECT_EQ(box.lastMove, 1000u);
    draw(box, 1400, 0.1f);
    EXPECT_EQ(box.lastMove, 1400u);
    EXPECT_GE(box.targetX, 0);
    EXPECT_LE(box.targetX, 4);

    // The focus glides in steps of 0.1 and settles just below the target without overshooting.
    box.targetX = box.targetY = 2;
    box.focusX = box.focusY = 0;
    for (int frameNumber = 0; frameNumber < 40; ++frameNumber) {
        draw(box, 2000 + uint32_t(frameNumber), 0.1f);
        EXPECT_LE(box.focusY, 2.0001f);
    }
    EXPECT_GE(box.focusX, 1.85f);
    EXPECT_GE(box.focusY, 1.85f);
    for (float beat : {1.0f, 0.0f, 0.7f})
        draw(box, 99999, beat);
}

TEST_F(ParticleEffects, PrikkerStartsBlackAndShowsOnlyTheThirdImage) {
    writeSolids(temp, {"data/mirok/prikker/prik1.png", "data/mirok/prikker/prik2.png"},
                {255, 0, 0, 255});
    writeSolid(temp, "data/mirok/prikker/prik4.png", {255, 0, 0, 255});
    writeSolid(temp, "data/mirok/prikker/prik3.png", white);
    Prikker prikker(1000, 200000);

    clearFrame(0.25f, 0.25f, 0.25f, 1);
    draw(prikker, 1000, 1); // E = 0: every dot at colour 0
    readFrame();
    for (const Rgba& c : frame)
        ASSERT_TRUE(near(c, {64, 64, 64, 255}, 1)) << c;

    bool lit = false;
    for (uint32_t time : {2500u, 9000u, 60000u}) {
        clearFrame();
        draw(prikker, time, 0.5f);
        readFrame();
        for (const Rgba& c : frame) {
            lit = lit || c.g > 0;
            EXPECT_EQ(c.r, c.g) << "a dot drawn with another image than the third";
        }
    }
    EXPECT_TRUE(lit);
}

TEST_F(ParticleEffects, BrumParticlesStayBoundedOverMinutesAndAfterSeeking) {
    writeSolid(temp, "data/mirok/brum/pastelmand.jpg", black);
    writeSolid(temp, "data/mirok/brum/stjern1.jpg", white);
    writeSolid(temp, "data/mirok/brum/brum.png", {0, 0, 0, 0});
    Brum::lastSpawn = 0;
    Brum brum(0, -1);
    // Ten frames a second over more than three minutes: a birth every frame, each living up to
    // ten seconds (100 frames).
    const uint32_t frameStep = 100;
    const uint32_t lifeFrames = 10000 / frameStep + 1;
    size_t most = 0;
    uint32_t time = 100;
    for (int frameNumber = 0; frameNumber < 2000; ++frameNumber, time += frameStep) {
        brum.draw(time, 0);
        most = std::max(most, brum.particles.size());
    }
    expectCleanState("minutes of Brum");
    EXPECT_LE(most, lifeFrames);
    EXPECT_GT(most, lifeFrames / 2) << "particles should live up to ten seconds";

    // After seeking back a few seconds and playing on, births go on and the list stays bounded.
    time -= 3000;
    for (int frameNumber = 0; frameNumber < 500; ++frameNumber, time += frameStep) {
        brum.draw(time, 0);
        most = std::max(most, brum.particles.size());
    }
    EXPECT_LE(most, 2 * lifeFrames);
    const uint32_t lastFrame = time - frameStep;
    EXPECT_TRUE(std::all_of(brum.particles.begin(), brum.particles.end(),
                            [&](const Brum::Particle& p) { return p.death >= lastFrame; }))
        << "a particle past its death is still kept";
}

TEST_F(ParticleEffects, BrumSpawnsEveryTenMillisecondsAndSkipsStillbornParticles) {
    writeSolid(temp, "data/mirok/brum/pastelmand.jpg", {200, 0, 0, 255});
    writeSolid(temp, "data/mirok/brum/stjern1.jpg", white);
    writeSolid(temp, "data/mirok/brum/brum.png", {0, 255, 0, 255});
    Brum::lastSpawn = 0;
    Brum brum(0, 100000);
    prng::seed(1);
    draw(brum, 1000, 0);
    draw(brum, 1010, 0);
    EXPECT_EQ(brum.particles.size(), 1u);
    draw(brum, 1021, 0);
    EXPECT_EQ(brum.particles.size(), 2u);

    // A seed whose fourth value is 0 gives a particle that dies at its birth: it is left out.
    uint32_t stillborn = 0;
    while (nthValueAfterSeed(stillborn, 4) != 0)
        ++stillborn;
    prng::seed(stillborn);
    draw(brum, 1040, 0);
    EXPECT_EQ(brum.particles.size(), 2u);
    EXPECT_EQ(Brum::lastSpawn, 1040u);
}

TEST_F(ParticleEffects, BrumSpriteStartsTurnedOverItsPathPoint) {
    writeSolid(temp, "data/mirok/brum/pastelmand.jpg", {200, 0, 0, 255});
    writeSolid(temp, "data/mirok/brum/stjern1.jpg", black);
    writeSolid(temp, "data/mirok/brum/brum.png", {0, 255, 0, 255});
    Brum::lastSpawn = 0;
    Brum brum(-1000, 100000);
    clearFrame();
    // At T = 0 the path point is (0, 1, -5); turned by 180 degrees, the sprite's offset of one
    // unit to the left puts it over the upper right quarter. The background fills the rest.
    draw(brum, 0, 0);
    readFrame();
    EXPECT_TRUE(near(pixel(48, 16), {0, 255, 0, 255}, 2)) << pixel(48, 16);
    EXPECT_TRUE(near(pixel(16, 48), {200, 0, 0, 255}, 2)) << pixel(16, 48);
    EXPECT_TRUE(near(pixel(48, 48), {200, 0, 0, 255}, 2)) << pixel(48, 48);

    TweakRegistry& registry = TweakRegistry::instance();
    registry.terminate();
    brum.registerTweaks();
    const TweakVariable* position = registry.find("BGPos");
    const TweakVariable* scale = registry.find("BGScale");
    ASSERT_TRUE(position && scale);
    EXPECT_EQ(position->address, &brum.bgPos);
    EXPECT_EQ(scale->address, &brum.bgScale);
    EXPECT_EQ(scale->type, TweakDir3F);
    EXPECT_EQ(position->definition, "label='Bg pos'");
    registry.terminate();
}
