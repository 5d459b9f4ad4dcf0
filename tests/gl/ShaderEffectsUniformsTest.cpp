// Shader effects drawn on the virtual display, with the shaders they hand their uniforms to
// replaced by probes that show those uniforms as colours: seconds, music time, beat, intensity,
// resolution and position.

#include "ShaderEffectsFixture.h"

#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/ShaderShow.h"
#include "effects/TwistBox.h"
#include "effects/WalkCube.h"
#include "platform/Error.h"

#include <cmath>
#include <cstdint>

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
