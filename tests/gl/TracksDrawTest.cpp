// Tracks drawn through the shared frame function: into an entry's tweakable value, a shader's
// uniforms (with the spectrum and the resolution) and a plug-in.
#include "GlFixture.h"
#include "TestShow.h"
#include "audio/MusicStream.h"
#include "render/ShaderInputs.h"
#include "timeline/ShowFrame.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr int toneBin = 8;

// Two seconds of a sine centred on spectrum bin `toneBin`.
std::vector<float> tone() {
    std::vector<float> samples(size_t(musicSampleRate) * 2 * 2);
    const double frequency = toneBin * double(musicSampleRate) / 2048;
    for (size_t frame = 0; frame < samples.size() / 2; ++frame)
        samples[2 * frame] = samples[2 * frame + 1] =
            float(0.6 * std::sin(2 * M_PI * frequency * double(frame) / musicSampleRate));
    return samples;
}

// Clears to the colour of its tweakable "Colour" value.
class ClearToColour : public Effekt {
public:
    using Effekt::Effekt;
    float colour[3] = {0, 0, 0};
    int32_t count = 0;
    bool on = false;
    void registerTweaks(TweakRegistry& tweaks) override {
        tweaks.addVariable(tweakBar, "Colour", TweakColor3F, colour, "");
        tweaks.addVariable(tweakBar, "Count", TweakInt32, &count, "");
        tweaks.addVariable(tweakBar, "On", TweakBool, &on, "");
    }
    void draw(uint32_t, float) override {
        glClearColor(colour[0], colour[1], colour[2], 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
    }
};

class TracksDraw : public GlFixture {
protected:
    TracksDraw() { windowWidth = windowHeight = 32; }
    void TearDown() override {
        show.show.reset();
        GlFixture::TearDown();
    }

    MusicStream music{tone(), MusicOutput::Manual};
    TestShow show;

    // Draws the frame at the effect time through the frame function and reads it.
    void drawAt(uint32_t time) {
        music.setPositionSeconds(time / 1000.0);
        clearFrame();
        drawMusicFrame(music, *show);
        readFrame();
        expectNoGlError("frame");
    }
};

TEST_F(TracksDraw, AKeyedEntryValueChangesThePictureFromItsKeyOn) {
    TrackSet set;
    set.setKey("Fill@100/Count", {0, 1e30f, Interpolation::Step});
    set.setKey("Fill@100/On", {0, 0.5f, Interpolation::Step});
    set.setKey("Fill@100/Colour.g", {1000, 0.0f, Interpolation::Step});
    set.setKey("Fill@100/Colour.g", {1200, 1.0f, Interpolation::Linear});
    set.setKey("Fill@100/Colour.g", {1400, 0.0f, Interpolation::Step});
    show = makeTestShow("Fill\n100\n5000\n", {testFamily<ClearToColour>("Fill")}, std::move(set));
    const auto& entry = static_cast<const ClearToColour&>(*show->effects().back());
    EXPECT_TRUE(show->tracks().unknownTargets().empty());

    drawAt(1199);
    EXPECT_EQ(pixel(16, 16), (Rgba{0, 0, 0, 255})) << "before the key";
    EXPECT_EQ(entry.count, INT32_MAX) << "whole numbers are held within their range";
    EXPECT_TRUE(entry.on);
    // What a key set from the current values would hold.
    const auto& variables = show->tracks().tweaks().variables();
    ASSERT_EQ(variables.size(), 3u);
    EXPECT_EQ(tweakTrackName(*show->effects().back(), variables[0], 1), "Fill@100/Colour.g");
    EXPECT_EQ(tweakComponentValue(variables[1], 0), float(INT32_MAX));
    EXPECT_EQ(tweakComponentValue(variables[2], 0), 1.0f);
    drawAt(1200);
    EXPECT_EQ(pixel(16, 16), (Rgba{0, 255, 0, 255})) << "at the key";
    drawAt(1300);
    EXPECT_NEAR(pixel(16, 16).g, 128, 1) << "half way down the linear slope";
    EXPECT_EQ(pixel(16, 16).r, 0) << "the other components keep their own values";

    // A track added while playing (as the overlay adds one) drives its value from the next frame.
    show->tracks().tracks().setKey("Fill@100/Colour.r", {0, 1.0f, Interpolation::Step});
    drawAt(1500);
    EXPECT_EQ(pixel(16, 16), (Rgba{255, 0, 0, 255}));
}

TEST_F(TracksDraw, ATrackTheBeatAndTheMusicReachAShaderToyEntry) {
    const std::string shader = temp.file("toy.glsl");
    writeTextFile(
        shader,
        "#iChannel2 \"music\"\n"
        "uniform float level;\n"
        "uniform float beat;\n"
        "void mainImage(out vec4 colour, in vec2 at) {\n"
        "    colour = vec4(level, beat * 10.0, texture(iChannel2, vec2(0.0, 0.25)).x, 1.0);\n"
        "}\n");
    TrackSet set;
    set.setKey("level", {0, 0.25f, Interpolation::Linear});
    set.setKey("level", {2000, 0.75f, Interpolation::Step});
    show = makeTestShow("ShaderToy\n0\n-1\n" + shader + "\n", {}, std::move(set));

    drawAt(1000);
    float spectrum[spectrumSize];
    music.spectrum(spectrum);
    EXPECT_NEAR(pixel(16, 16).r, 0.5 * 255, 1) << "the track at 1000 ms";
    ASSERT_GT(beatLevel(spectrum), 0.02f);
    EXPECT_NEAR(pixel(16, 16).g, std::min(1.0f, beatLevel(spectrum) * 10) * 255, 1);
    EXPECT_NEAR(pixel(16, 16).b, soundLevel(spectrum[0]) * 255, 1);
    expectCleanState("ShaderToy with inputs");
}

TEST_F(TracksDraw, ATrackAndTheSpectrumReachTheShadersUniforms) {
    const std::string shader = temp.file("inputs.fs");
    writeTextFile(shader, "uniform float level;\n"
                          "uniform sampler2D spectrum;\n"
                          "uniform vec2 resolution;\n"
                          "uniform float time;\n"
                          "void main() {\n"
                          "    float bin = texture2D(spectrum, vec2(8.5 / 1024.0, 0.5)).r;\n"
                          "    float quiet = texture2D(spectrum, vec2(300.5 / 1024.0, 0.5)).r;\n"
                          "    gl_FragColor = vec4(level, bin + quiet, resolution.x / 64.0, 1.0);\n"
                          "}\n");
    TrackSet set;
    set.setKey("level", {0, 0.25f, Interpolation::Linear});
    set.setKey("level", {2000, 0.75f, Interpolation::Step});
    show = makeTestShow("ShaderShow\n0\n-1\n" + shader + "\n\n", {}, std::move(set));
    EXPECT_EQ(show->effects()[0]->trackUniforms(), std::vector<std::string>{"level"})
        << "what the overlay offers as new free tracks: not the shader's time or the frame's "
           "inputs";

    drawAt(1000);
    float spectrum[spectrumSize];
    music.spectrum(spectrum);
    ASSERT_GT(spectrum[toneBin], 0.2f);
    const Rgba centre = pixel(16, 16);
    EXPECT_NEAR(centre.r, 0.5 * 255, 1) << "the track at 1000 ms";
    EXPECT_NEAR(centre.g, std::min(1.0f, spectrum[toneBin] + spectrum[300]) * 255, 1);
    EXPECT_NEAR(centre.b, 0.5 * 255, 1) << "resolution.x is the width, 32 pixels";
    expectCleanState("shader with inputs");
    GLint spectrumUnit = -1;
    glActiveTexture(GL_TEXTURE0 + spectrumTextureUnit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &spectrumUnit);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(spectrumUnit, 0) << "the spectrum texture is unbound after drawing";

    drawAt(1500);
    EXPECT_NEAR(pixel(16, 16).r, 0.625 * 255, 1);
}

TEST_F(TracksDraw, TheStarburstPluginReadsItsSizeTrack) {
    show = makeTestShow("Plugin\n0\n-1\n" MORVELDAN_BUILD_DIR "/plugins/starburst.so\n24\n");
    auto litCorners = [&] {
        int lit = 0;
        for (const Rgba& p : frame)
            lit += p.r + p.g + p.b > 60;
        return lit;
    };
    drawAt(1000);
    const int fullSize = litCorners();
    TrackSet set;
    set.setKey("starburst_size", {0, 0.1f, Interpolation::Step});
    show->setTracks(std::move(set));
    drawAt(1000);
    EXPECT_LT(litCorners() * 3, fullSize) << "rays a tenth as long light far fewer pixels";
}

} // namespace
