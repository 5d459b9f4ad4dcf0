// ShaderToy entries run as a user runs them: shots read back for the website's uniforms, buffers
// that feed back, the music and a video as channels, and the messages a shader author reads.
#include "ToyShow.h"
#include "media/VideoDecoder.h"
#include "render/ShaderInputs.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

namespace fs = std::filesystem;

// Draws only where quarter q of the picture is (0 bottom left, 1 bottom right, 2 top left, 3 top
// right), as counts out of 255.
const char* const quarterSource =
    "void showCounts(int q, vec2 at, vec3 counts, out vec4 colour) {\n"
    "    vec2 middle = iResolution.xy / 2.0;\n"
    "    int here = int(at.x >= middle.x) + 2 * int(at.y >= middle.y);\n"
    "    if (here != q) discard;\n"
    "    colour = vec4(counts / 255.0, 1.0);\n"
    "}\n";

std::string countingImage(int quarter, const std::string& channels, const std::string& counts) {
    return channels +
           "#include \"quarter.glsl\"\n"
           "void mainImage(out vec4 colour, in vec2 at) {\n"
           "    vec4 a = texelFetch(iChannel0, ivec2(at), 0);\n"
           "    vec4 b = texelFetch(iChannel1, ivec2(at), 0);\n"
           "    showCounts(" +
           std::to_string(quarter) + ", at, " + counts +
           ", colour);\n"
           "}\n";
}

TEST(ShaderToy, UniformsAndBuffersReadBackAtAKnownFrame) {
    ToyShow show;
    show.file("data/toy/quarter.glsl", quarterSource);
    // Without buffers: the frames and the time since the entry's start, and the picture's size.
    show.file(
        "data/toy/plain.glsl",
        countingImage(0, "", "vec3(float(iFrame), iTime * 10.0, iResolution.x * iResolution.z)"));
    // A buffer that adds one to itself every frame.
    show.file("data/toy/count.glsl", "#iChannel0 \"self\"\n"
                                     "void mainImage(out vec4 colour, in vec2 at) {\n"
                                     "    colour = texelFetch(iChannel0, ivec2(at), 0) + 1.0;\n"
                                     "}\n");
    show.file("data/toy/counting.glsl", countingImage(1, "#iChannel0 \"file://count.glsl\"\n",
                                                      "vec3(a.r, float(iFrame), iResolution.y)"));
    // Four buffers that each read all four: each marks (1, 2, 4, 8 for a to d) those that were
    // drawn before it in this frame, whose count is already the frame's.
    for (const char* buffer : {"a", "b", "c", "d"})
        show.file(std::string("data/toy/") + buffer + ".glsl",
                  "#iChannel0 \"file://a.glsl\"\n#iChannel1 \"file://b.glsl\"\n"
                  "#iChannel2 \"file://c.glsl\"\n#iChannel3 \"file://d.glsl\"\n"
                  "void mainImage(out vec4 colour, in vec2 at) {\n"
                  "    float now = float(iFrame + 1), seen = 0.0;\n"
                  "    if (texelFetch(iChannel0, ivec2(at), 0).r == now) seen += 1.0;\n"
                  "    if (texelFetch(iChannel1, ivec2(at), 0).r == now) seen += 2.0;\n"
                  "    if (texelFetch(iChannel2, ivec2(at), 0).r == now) seen += 4.0;\n"
                  "    if (texelFetch(iChannel3, ivec2(at), 0).r == now) seen += 8.0;\n"
                  "    colour = vec4(now, seen, 0.0, 1.0);\n"
                  "}\n");
    const std::string fourMarks =
        "#include \"quarter.glsl\"\n"
        "vec4 at(int channel, vec2 p) {\n"
        "    return channel == 0 ? texelFetch(iChannel0, ivec2(p), 0)\n"
        "         : channel == 1 ? texelFetch(iChannel1, ivec2(p), 0)\n"
        "         : channel == 2 ? texelFetch(iChannel2, ivec2(p), 0)\n"
        "                        : texelFetch(iChannel3, ivec2(p), 0);\n"
        "}\n"
        "void mainImage(out vec4 colour, in vec2 p) {\n"
        "    vec3 marks = vec3(at(0, p).g + 16.0 * at(1, p).g, at(2, p).g + 16.0 * at(3, p).g,\n"
        "                      at(0, p).r);\n";
    show.file("data/toy/a-first.glsl",
              "#iChannel0 \"file://a.glsl\"\n#iChannel1 \"file://b.glsl\"\n"
              "#iChannel2 \"file://c.glsl\"\n#iChannel3 \"file://d.glsl\"\n" +
                  fourMarks + "    showCounts(2, p, marks, colour);\n}\n");
    show.file("data/toy/d-first.glsl",
              "#iChannel0 \"file://d.glsl\"\n#iChannel1 \"file://c.glsl\"\n"
              "#iChannel2 \"file://b.glsl\"\n#iChannel3 \"file://a.glsl\"\n" +
                  fourMarks + "    showCounts(3, p, marks, colour);\n}\n");
    show.script("ShaderToy\n0\n5000\ndata/toy/plain.glsl\n"
                "ShaderToy\n0\n5000\ndata/toy/counting.glsl\n"
                "ShaderToy\n0\n5000\ndata/toy/a-first.glsl\n"
                "ShaderToy\n0\n5000\ndata/toy/d-first.glsl\n",
                4);
    int width = 0, height = 0;
    // At 10 frames a second the entries have drawn the frames at 100, 200, ... 1000 ms.
    const std::vector<Rgba> pixels = show.shot("1000", "64x48", width, height);
    ASSERT_EQ(pixels.size(), 64u * 48u);
    const auto at = [&](int x, int y) { return pixels[size_t(y * width + x)]; };
    EXPECT_EQ(at(16, 36), (Rgba{9, 10, 64, 255})) << "iFrame, iTime, iResolution";
    EXPECT_EQ(at(48, 36), (Rgba{10, 9, 48, 255})) << "the counting buffer";
    // The buffers are drawn in the order the image's channels name them: a, b, c, d marks
    // nothing, a, a and b, then a to c (0, 1, 3, 7); named d, c, b, a they mark 0, 8, 12, 14.
    EXPECT_EQ(at(16, 12), (Rgba{16, 115, 10, 255})) << "a to d on channels 0 to 3";
    EXPECT_EQ(at(48, 12), (Rgba{128, 236, 10, 255})) << "d to a on channels 0 to 3";
}

TEST(ShaderToy, TheMusicChannelHoldsTheSpectrumAndTheWaveAtTheFramesTime) {
    ToyShow show;
    show.file("data/toy/sound.glsl",
              "#iChannel0 \"music\"\n"
              "void mainImage(out vec4 colour, in vec2 at) {\n"
              "    float row = at.y < iResolution.y / 2.0 ? 0.0 : 1.0;\n"
              "    float level = texture(iChannel0, vec2(at.x / 512.0, (row + 0.5) / 2.0)).x;\n"
              "    colour = vec4(level, level, iChannelResolution[0].x / 1024.0, 1.0);\n"
              "}\n");
    show.script("ShaderToy\n0\n5000\ndata/toy/sound.glsl\n", 1);
    int width = 0, height = 0;
    const std::vector<Rgba> pixels = show.shot("2000", "512x8", width, height);
    ASSERT_EQ(pixels.size(), 512u * 8u);
    MusicStream music(show.music(), MusicOutput::Manual);
    float spectrum[spectrumSize], wave[soundTextureWidth];
    const uint64_t frame = 2 * musicSampleRate;
    music.spectrumAt(frame, spectrum);
    music.waveformAt(frame, wave, soundTextureWidth);
    int spectrumOff = 0, waveOff = 0, loudBins = 0;
    for (int x = 0; x < 512; ++x) {
        // Row 1 is the top half of the picture, row 0 the bottom half.
        const int waveSeen = pixels[size_t(1 * width + x)].r;
        const int spectrumSeen = pixels[size_t(6 * width + x)].r;
        waveOff += std::abs(waveSeen - int(std::lround(255 * waveLevel(wave[x])))) > 1;
        spectrumOff += std::abs(spectrumSeen - int(std::lround(255 * soundLevel(spectrum[x])))) > 1;
        loudBins += spectrumSeen > 200;
    }
    EXPECT_EQ(spectrumOff, 0);
    EXPECT_EQ(waveOff, 0);
    EXPECT_GE(loudBins, 2) << "the tones' bins";
    EXPECT_LT(loudBins, 100);
    EXPECT_EQ(pixels[0].b, 128) << "iChannelResolution";
}

TEST(ShaderToy, AVideoChannelShowsTheFrameOfTheEntrysTime) {
    ToyShow show;
    const std::string video = std::string(MORVELDAN_BUILD_DIR) + "/data/mirok/video/Video.avi";
    fs::create_directories(show.path() / "data/clips");
    shareIntoShow(video, show.path() / "data/clips/clip.avi");
    show.file("data/toy/video.glsl", "#iChannel0 \"file://../clips/clip.avi\"\n"
                                     "void mainImage(out vec4 colour, in vec2 at) {\n"
                                     "    colour = texelFetch(iChannel0, ivec2(at * 8.0), 0);\n"
                                     "}\n");
    show.script("ShaderToy\n1000\n5000\ndata/toy/video.glsl\n", 1);
    int width = 0, height = 0;
    const std::vector<Rgba> pixels = show.shot("2000", "64x64", width, height);
    ASSERT_EQ(pixels.size(), 64u * 64u);
    ShowFiles files{FileReach::Anywhere};
    VideoDecoder decoder(files.open(video, ShowFileKind::Video));
    const auto differences = [&](int frameNumber) {
        const uint8_t* bgra = decoder.frame(frameNumber); // bottom row first
        int differing = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint8_t* texel = bgra + size_t(((63 - y) * 8 + 4) * 512 + x * 8 + 4) * 4;
                const Rgba seen = pixels[size_t(y * width + x)];
                differing += seen.r != texel[2] || seen.g != texel[1] || seen.b != texel[0];
            }
        return differing;
    };
    const double rate = decoder.framesPerSecond();
    // One second into the entry, two into the show.
    EXPECT_EQ(differences(int(std::floor(1.0 * rate)) % decoder.frameCount()), 0);
    EXPECT_GT(differences(int(std::floor(2.0 * rate)) % decoder.frameCount()), 100);
}

TEST(ShaderToy, ErrorsNameTheAuthorsFileLineAndColumnAndACheckListsThemAll) {
    ToyShow show;
    show.file("data/e/image.glsl", "#iChannel0 \"file://nothere.png\"\n"
                                   "#iChannel7 \"music\"\n"
                                   "#iChannel1 \"https://example.org/a.png\"\n"
                                   "#include \"one.glsl\"\n"
                                   "#iChannel2 \"file://buffer.glsl\"\n"
                                   "void mainImage(out vec4 colour, in vec2 at) {\n"
                                   "    colour = vec4(fromImage);\n"
                                   "}\n"
                                   "#iChannel3 \"file://buffer.glsl\"\n"
                                   "#iChannel3::Type \"CubeMap\"\n");
    show.file("data/e/one.glsl",
              "#include \"two.glsl\"\nfloat one() {\n\treturn fromInclude;\n}\n");
    show.file("data/e/two.glsl", "#include \"one.glsl\"\n");
    show.file("data/e/buffer.glsl", "void mainImage(out vec4 colour, in vec2 at) {\n"
                                    "    // the next line is wrong\n"
                                    "    colour = vec4(  fromBuffer);\n"
                                    "}\n");
    show.file("data/e/show.fs", "void main() {\n  gl_FragColor = vec4(fromShaderShow);\n}\n");
    show.script("ShaderToy\n0\n5000\ndata/e/image.glsl\n"
                "ShaderShow\n0\n5000\ndata/e/show.fs\n\n",
                2);
    ShowProcess checking(show.path(), {"--check"});
    EXPECT_EQ(checking.wait(), 1);
    const std::string report = checking.standardOutput();
    const ShowResult shot = show.run({"--shot", "100", "never.png"});
    EXPECT_NE(shot.exitStatus, 0);
    const std::string toy = "data/demo.txt:4: the entry 'ShaderToy': ";
    for (const std::string expected : {
             "data/e/image.glsl:1:1: error: the channel's file data/e/nothere.png is missing",
             "data/e/image.glsl:2:1: error: channel 7 is out of range",
             "data/e/image.glsl:3:1: error: the channel names a web address; shows read local "
             "files only",
             "data/e/two.glsl:1:1: error: include cycle: data/e/image.glsl -> data/e/one.glsl -> "
             "data/e/two.glsl -> data/e/one.glsl",
             "data/e/one.glsl:3:9: error: `fromInclude' undeclared",
             "data/e/buffer.glsl:3:21: error: `fromBuffer' undeclared",
             "data/e/image.glsl:7:19: error: `fromImage' undeclared",
             "data/e/image.glsl:9:1: error: the pass data/e/buffer.glsl defines no mainCubemap to "
             "draw a cube map",
         }) {
        EXPECT_NE(report.find(toy + expected), std::string::npos) << expected << "\n" << report;
    }
    EXPECT_NE(report.find("data/demo.txt:8: the entry 'ShaderShow': data/e/show.fs:2:23: "
                          "error: `fromShaderShow' undeclared"),
              std::string::npos);
    // A run stops at the entry, each message on a line of its own.
    EXPECT_NE(shot.errorOutput.find("\ndata/e/image.glsl:7:19: error: `fromImage' undeclared\n"),
              std::string::npos)
        << shot.errorOutput;
}

// The example's tracks feed uniforms declared in files its passes include (hue) and in a buffer's
// (feed): no warning of tracks that feed nothing.
TEST(ShaderToy, TheExampleShowChecksClean) {
    ShowProcess check(fs::path(MORVELDAN_BUILD_DIR) / "examples/shadertoy", {"--check"});
    EXPECT_EQ(check.wait(), 0) << check.standardOutput();
    EXPECT_NE(check.standardOutput().find("data/demo.txt: 3 entries checked, no problems found\n"),
              std::string::npos)
        << check.standardOutput();
    EXPECT_EQ(check.standardOutput().find("warning"), std::string::npos) << check.standardOutput();
}

} // namespace
