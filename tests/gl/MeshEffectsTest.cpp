// The effects that draw models: posed objects, spinning rings, the rubber model, the shell suite
// and the scene-switching feedback zoomer, each in a run directory of its own with images of
// known colours and models written for the test.

#include "GlFixture.h"
#include "MeshTestFiles.h"

#include "effects/ChaosZoomer.h"
#include "effects/PosedObjects.h"
#include "effects/QuelmRinge.h"
#include "effects/Rubber3d.h"
#include "effects/ShaderSuite3D.h"
#include "render/GLState.h"
#include "render/Random.h"

#include <cmath>
#include <memory>

namespace {

const Rgba red{255, 0, 0, 255};
const Rgba green{0, 255, 0, 255};
const Rgba blue{0, 0, 255, 255};
const Rgba yellow{255, 255, 0, 255};
const Rgba white{255, 255, 255, 255};
const Rgba black{0, 0, 0, 255};

bool nearRgb(const Rgba& a, const Rgba& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// Seeds the shared generator so that its next value, masked, lies in [low, high].
void seedSoNextMaskedIs(int mask, int low, int high) {
    for (uint32_t seed = 1;; ++seed) {
        prng::seed(seed);
        const int value = prng::next() & mask;
        if (value >= low && value <= high) {
            prng::seed(seed);
            return;
        }
    }
}

} // namespace

class MeshEffects : public GlFixture {
protected:
    void SetUp() override {
        GlFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        enterFolder(temp.path());
    }

    void image(const std::string& path, Rgba colour) { writeSolidImage(temp.file(path), colour); }

    void expectLeftClean(const char* where) {
        expectCleanState(where);
        expectScreenPerspective(where);
    }

    bool enabled(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }
};

// ---------------------------------------------------------------------------------------------
// Quelm3D and FogRotator

class PosedObjects : public MeshEffects {
protected:
    void SetUp() override {
        MeshEffects::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // Around a pole (the image's width) the visible half runs from the top at s = 1 over the
        // front at s = 0.75 to the bottom at s = 0.5: red above each pole's axis, green below.
        const auto poleColour = [](int x, int) { return x >= 48 ? red : x >= 32 ? green : blue; };
        writeImage(temp.file("data/mirok/fog/pole1.jpg"), 64, 16, poleColour, false);
    }
};

TEST_F(PosedObjects, FogRotatorLaysThreePolesAcrossTheScreenAtThreeHeights) {
    Effekter::FogRotator fog(context(), 0, 100000);
    fog.draw(77777, 1);
    readFrame();
    const std::vector<Rgba> atAnotherTime = frame;
    clearFrame();
    fog.draw(500, 0);
    expectLeftClean("FogRotator");
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    readFrame();
    EXPECT_EQ(frame, atAnotherTime) << "time and beat change nothing";

    // 64 pixels span 2 * 10 * tan(20 degrees) = 7.28 units at the poles' distance: heights 1, 0
    // and -1 are rows 23, 32 and 41; each pole is half a unit thick.
    const int poleRows[3] = {23, 32, 41};
    for (int pole = 0; pole < 3; ++pole)
        for (int x : {2, 32, 61}) {
            const Rgba above = pixel(x, poleRows[pole] - 2), below = pixel(x, poleRows[pole] + 2);
            EXPECT_GT(above.r, 150) << "pole " << pole << " x " << x << " above " << above;
            EXPECT_LT(above.g, 100) << "pole " << pole << " x " << x << " above " << above;
            EXPECT_GT(below.g, 150) << "pole " << pole << " x " << x << " below " << below;
            EXPECT_LT(below.r, 100) << "pole " << pole << " x " << x << " below " << below;
        }
    // Nothing above the top pole or below the bottom one.
    for (int x : {2, 32, 61}) {
        EXPECT_TRUE(nearRgb(pixel(x, 12), black, 4)) << pixel(x, 12);
        EXPECT_TRUE(nearRgb(pixel(x, 52), black, 4)) << pixel(x, 52);
    }
}

TEST_F(PosedObjects, Quelm3DBuildsItsModelOnceAndLeavesLightingOn) {
    Effekter::Quelm3D quelm(1000, 2000);
    EXPECT_EQ(quelm.meshList, -1);
    quelm.draw(1500, 0.5f);
    const int32_t list = quelm.meshList;
    ASSERT_GT(list, 0);
    EXPECT_TRUE(glIsList(GLuint(list)));
    expectLeftClean("Quelm3D");
    EXPECT_TRUE(enabled(GL_LIGHTING));
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    readFrame();
    EXPECT_GT(meanBrightness(), 5) << "the lit model shows";
    const std::vector<Rgba> first = frame;

    // Active again after a seek back into its window: the same list, no new one made, and the
    // same picture whatever the time and beat.
    clearFrame();
    glDisable(GL_LIGHTING);
    quelm.draw(1001, 1);
    EXPECT_EQ(quelm.meshList, list);
    EXPECT_FALSE(glIsList(GLuint(list + 1)));
    readFrame();
    EXPECT_EQ(frame, first);
}

// ---------------------------------------------------------------------------------------------
// QuelmRinge

class QuelmRingeTest : public MeshEffects {
protected:
    void SetUp() override {
        MeshEffects::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        image("data/bravelund/ringe/bg.png", white);
        image("data/bravelund/ringe/rotate.png", Rgba{255, 0, 0, 0}); // fully transparent
    }
};

TEST_F(QuelmRingeTest, StrongBeatsSwitchAtMostOnceIn300Ms) {
    Effekter::QuelmRinge rings(context(), 0, 100000);
    const Effekter::RingSpin& spin = rings.spin();

    rings.draw(1000, 1); // the first draw only notes the time
    EXPECT_EQ(spin.switchCount, 0);
    EXPECT_EQ(spin.lastSwitch, 1000u);
    EXPECT_FLOAT_EQ(spin.angle, -1000.0f / 15);
    EXPECT_FLOAT_EQ(rings.textPos.x, 0);

    rings.draw(1300, 1);    // not more than 300 ms since
    rings.draw(1400, 0.7f); // exactly 0.7 is not above it
    EXPECT_EQ(spin.switchCount, 0);

    prng::seed(1);
    const int speedValue = prng::next(), offsetValue = prng::next();
    prng::seed(1);
    rings.draw(1500, 0.71f);
    rings.draw(1700, 0.95f); // a second strong beat within 300 ms
    EXPECT_EQ(spin.switchCount, 1);
    EXPECT_EQ(spin.lastSwitch, 1500u);
    EXPECT_EQ(spin.speedStep, int(float(speedValue & 0xFF) * 0.1f));
    EXPECT_FLOAT_EQ(spin.ringOffset, float(offsetValue & 0x7F) * 0.01f - 1.2f);
    EXPECT_FLOAT_EQ(rings.textPos.x, spin.ringOffset);
    // An odd switch count turns the other way.
    EXPECT_FLOAT_EQ(spin.angle, 1700.0f / float(15 - spin.speedStep));

    // Another entry carries on with the same spin state.
    Effekter::QuelmRinge later(context(), 1500, 100000);
    later.draw(1800, 1);
    later.draw(1801, 1);
    EXPECT_EQ(spin.switchCount, 2);
    EXPECT_FLOAT_EQ(later.textPos.x, spin.ringOffset);
    expectLeftClean("QuelmRinge");
    EXPECT_FALSE(enabled(GL_LIGHTING));
    EXPECT_FALSE(enabled(GL_LIGHT0));
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_TRUE(enabled(GL_TEXTURE_2D));
}

TEST_F(QuelmRingeTest, SpeedStep15KeepsThePreviousAngle) {
    Effekter::QuelmRinge rings(context(), 0, 100000);
    rings.draw(1000, 0);
    rings.draw(3000, 0);
    const float before = rings.spin().angle;
    EXPECT_FLOAT_EQ(before, -200);
    // A generator value with its low byte in 150..159 gives speed step 15.
    seedSoNextMaskedIs(0xFF, 150, 159);
    rings.draw(4000, 1);
    ASSERT_EQ(rings.spin().speedStep, 15);
    EXPECT_FLOAT_EQ(rings.spin().angle, before);
    rings.draw(4100, 0);
    EXPECT_FLOAT_EQ(rings.spin().angle, before);
    EXPECT_TRUE(std::isfinite(rings.spin().angle));
    expectLeftClean("QuelmRinge with speed step 15");
}

TEST_F(QuelmRingeTest, BeatDimsTheBackgroundToThreeQuarters) {
    Effekter::QuelmRinge rings(context(), 0, 100000);
    for (float beat : {0.0f, 1.0f}) {
        clearFrame();
        rings.draw(1000, beat);
        readFrame();
        const int expected = beat == 0 ? 255 : 191;
        // The top-left corner lies outside the rings and the text.
        EXPECT_NEAR(pixel(1, 1).g, expected, 3) << "beat " << beat;
    }
}

// ---------------------------------------------------------------------------------------------
// Rubber3d and ShaderSuite3D

class RubberModel : public MeshEffects {
protected:
    void SetUp() override {
        MeshEffects::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        image("data/rubber/env.jpg", green);
        image("data/rubber/background.jpg", red);
        image("data/rubber/background1.jpg", blue);
        // A square of 4000 units facing the eye from both sides: wherever it is drawn it
        // covers its whole strip.
        writeSquareModel(temp.file("data/rubber/simple.3ds"), 2000);
        copySourceData(temp.path(), "data/suite/fs.txt");
        copySourceData(temp.path(), "data/suite/vs.txt");
    }
};

class RubberWide : public RubberModel {
protected:
    RubberWide() {
        windowWidth = 1024;
        windowHeight = 768;
    }
};

TEST_F(RubberWide, StripsCoverTheWholeWidth) {
    Effekter::Rubber3d rubber(context(), 0, 100000);
    // At time 0 the strips do not turn; a strong beat brings the model to the -500 plane.
    rubber.draw(0, 1);
    expectLeftClean("Rubber3d");
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(enabled(GL_SCISSOR_TEST));
    GLint scissor[4];
    glGetIntegerv(GL_SCISSOR_BOX, scissor);
    EXPECT_EQ(scissor[0], 1015) << "the last strip starts at 1015";
    EXPECT_EQ(scissor[2], 9) << "strips are 9 pixels wide";
    readFrame();
    int uncovered = 0;
    for (int x = 0; x < windowWidth; ++x)
        for (int y : {5, 384, 760})
            if (!(pixel(x, y).g > 200 && pixel(x, y).r < 60))
                ++uncovered;
    EXPECT_EQ(uncovered, 0) << "columns where the background shows through";
}

TEST_F(RubberModel, NoModelBeforeTheFirstStrongBeat) {
    // Small enough to lie wholly beyond the far plane when it is more than 500 units behind the
    // -500 plane, whichever way it is turned.
    writeSquareModel(temp.file("data/rubber/simple.3ds"), 200);
    Effekter::Rubber3d rubber(context(), 0, 100000);
    for (uint32_t time : {1500u, 3000u, 9000u}) {
        clearFrame();
        rubber.draw(time, 0.25f); // 0.25 is not a strong beat
        expectLeftClean("Rubber3d without a beat");
        readFrame();
        EXPECT_LT(meanChannel(1, 0, 0, 64, 64), 10) << "model visible at " << time;
        EXPECT_GT(meanChannel(0, 0, 0, 64, 64), 200) << "background missing at " << time;
    }
    // After a strong beat the model is back at the -500 plane. At 7200 ms it faces the eye; the
    // first strips are turned least.
    clearFrame();
    rubber.draw(7200, 0.3f);
    EXPECT_EQ(rubber.lastBeat, 7200u);
    readFrame();
    EXPECT_GT(pixel(0, 32).g, 200) << pixel(0, 32);
    EXPECT_LT(pixel(0, 32).r, 60) << pixel(0, 32);
}

TEST_F(RubberModel, ShaderSuiteDrawsShellsAndLeavesDepthWritesOff) {
    Effekter::ShaderSuite3D suite(context(), 0, 100000);
    EXPECT_NE(suite.stepLocation, -1);
    EXPECT_NE(suite.timeLocation, -1);
    for (auto [time, beat] : {std::pair{100u, 0.0f}, std::pair{11250u, 1.0f}}) {
        glDepthMask(GL_TRUE);
        clearFrame();
        suite.draw(time, beat);
        expectLeftClean("ShaderSuite3D");
        EXPECT_FALSE(enabled(GL_DEPTH_TEST));
        EXPECT_FALSE(enabled(GL_CULL_FACE));
        GLboolean depthWrites = GL_TRUE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
        EXPECT_EQ(depthWrites, GL_FALSE);
        readFrame();
        // The black backdrop adds nothing; the model covering the screen shows colour.
        EXPECT_GT(meanBrightness(), 20) << "time " << time;
    }
    glDepthMask(GL_TRUE);
}

// ---------------------------------------------------------------------------------------------
// ChaosZoomer

class ChaosZoomerTest : public MeshEffects {
protected:
    void SetUp() override {
        MeshEffects::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        image("data/misc/blomster.jpg", white);
        image("data/misc/pem.jpg", red);
        image("data/misc/mig.jpg", green);
        image("data/misc/bust.jpg", blue);
        image("data/misc/quelm.jpg", yellow);
        image("data/misc/env.jpg", white);
        image("data/misc/border.jpg", black);
        image("data/misc/twist.jpg", white);
        writeSquareModel(temp.file("data/misc/simple.3ds"), 100);
        copySourceData(temp.path(), "data/misc/split.txt");
    }

    // Switches to `scene` by drawing just after the current scene's five seconds.
    uint32_t switchTo(Effekter::ChaosZoomer& zoomer, int scene, float beat = 0) {
        const uint32_t time = zoomer.sceneStart + 5001;
        seedSoNextMaskedIs(3, scene, scene);
        zoomer.draw(time, beat);
        EXPECT_EQ(zoomer.scene(), scene);
        return time;
    }
};

TEST_F(ChaosZoomerTest, SwitchesOnlyAfterMoreThanFiveSeconds) {
    Effekter::ChaosZoomer zoomer(context(), 0, 100000);
    EXPECT_EQ(zoomer.scene(), 3);
    zoomer.draw(5000, 0);
    EXPECT_EQ(zoomer.switchCount, 0);
    EXPECT_EQ(zoomer.scene(), 3);

    prng::seed(5);
    const int expectedScene = prng::next() & 3;
    prng::seed(5);
    zoomer.draw(5001, 0);
    EXPECT_EQ(zoomer.switchCount, 1);
    EXPECT_EQ(zoomer.sceneStart, 5001u);
    EXPECT_EQ(zoomer.scene(), expectedScene);

    // The composite was refreshed at 5000; again only once more than 20 ms have passed.
    EXPECT_EQ(zoomer.lastUpdate, 5000u);
    zoomer.draw(5020, 0);
    EXPECT_EQ(zoomer.lastUpdate, 5000u);
    zoomer.draw(5021, 0);
    EXPECT_EQ(zoomer.lastUpdate, 5021u);

    zoomer.draw(10001, 0);
    EXPECT_EQ(zoomer.switchCount, 1);
    zoomer.draw(10002, 0);
    EXPECT_EQ(zoomer.switchCount, 2);

    // A seek backwards wraps the difference: an immediate switch.
    zoomer.draw(9000, 0);
    EXPECT_EQ(zoomer.switchCount, 3);
    EXPECT_EQ(zoomer.sceneStart, 9000u);
}

TEST_F(ChaosZoomerTest, PictureZoomCyclesThePicturesWithTheSwitchCount) {
    // pem, mig, bust, quelm for switch counts 0, 1, 2, 3 (mod 4).
    const Rgba expected[4] = {red, green, blue, yellow};
    for (int switches = 1; switches <= 4; ++switches) {
        clearFrame();
        Effekter::ChaosZoomer zoomer(context(), 0, 1000000);
        // Black twisting layers (beat 0) leave the composite as it was.
        for (int k = 1; k < switches; ++k)
            switchTo(zoomer, 3);
        const uint32_t switched = switchTo(zoomer, 1);
        zoomer.draw(switched + 600, 0); // faded in
        expectLeftClean("ChaosZoomer picture zoom");
        readFrame();
        EXPECT_TRUE(nearRgb(pixel(32, 32), expected[switches % 4], 12))
            << "switch count " << switches << ": " << pixel(32, 32);
    }
}

TEST_F(ChaosZoomerTest, EveryScenePassesCleanlyAtEveryBeat) {
    Effekter::ChaosZoomer zoomer(context(), 0, 1000000);
    for (int scene = 0; scene < 4; ++scene) {
        uint32_t time = switchTo(zoomer, scene);
        for (float beat : {0.0f, 0.5f, 1.0f}) {
            time += 300;
            clearFrame();
            zoomer.draw(time, beat);
            expectLeftClean("ChaosZoomer scene");
            EXPECT_FALSE(enabled(GL_DEPTH_TEST));
            EXPECT_FALSE(enabled(GL_FOG));
            EXPECT_FALSE(enabled(GL_CULL_FACE));
            EXPECT_FALSE(enabled(GL_TEXTURE_GEN_S));
            if (scene == 2) {
                EXPECT_FLOAT_EQ(zoomer.ObjPos.z, 50 * beat - 400);
            }
        }
    }
}
