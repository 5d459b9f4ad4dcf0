// Author mode with the real program on an X server of the test's own: the transport keys, live
// reload of the script, a shader and the tracks file, and the overlay. Editing in a live run is
// tested in AuthorEditingTest.cpp.
#include "AuthorRun.h"
#include "author/Overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// test_ramp spells the effect time in every pixel: red = time % 256, green = time / 256 % 256.
uint32_t rampTime(const Rgba& pixel) { return pixel.r + 256u * pixel.g; }

std::string rampEntry(int start, int end) {
    return "Plugin\n" + std::to_string(start) + "\n" + std::to_string(end) + "\n" +
           testPlugin("test_ramp") + "\n";
}

// A full-window picture through a fragment shader whose colour is (red, green, fract(time)).
std::string colourShader(const char* red, const char* green) {
    return std::string("#version 110\nuniform float time;\nvoid main() {\n    gl_FragColor = "
                       "vec4(") +
           red + ", " + green + ", fract(time), 1.0);\n}\n";
}

TEST_F(AuthorRun, SpacePausesAndPageDownLandsOnTheNextEntry) {
    const std::string log = folder.file("probe.log");
    start("m.ogg\n0\n2\n" + rampEntry(0, -1) + "Plugin\n20000\n30000\n" +
              testPlugin("test_logger") + "\n" + log + "\nprobe\n",
          {});
    key("space");
    const std::vector<Rgba> paused = stillPicture();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(capture(), paused) << "the picture changed while paused";
    key("space");
    EXPECT_TRUE(waitUntil([&] { return capture() != paused; }, 10s))
        << "the picture stood still after Space again";

    key("space");
    const std::vector<Rgba> pausedAgain = stillPicture();
    key("Next");
    waitUntil([&] { return capture() != pausedAgain; }, 10s);
    stillPicture();
    EXPECT_EQ(rampTime(centre()), 20001u % 65536) << "not at the next entry's first frame";
    std::ifstream in(log);
    std::string first;
    for (std::string line; std::getline(in, line) && first.empty();)
        if (line.rfind("draw ", 0) == 0)
            first = line;
    EXPECT_EQ(first.rfind("draw 20001 ", 0), 0u) << "the probe's first draw: " << first;
    endWithEscape();
}

TEST_F(AuthorRun, SavedScriptAndShaderReloadWhilePlaying) {
    const std::string shader = folder.file("data/colour.fs");
    writeTextFile(shader, colourShader("0.0", "1.0"));
    const std::string script = "m.ogg\n0\n1\n" + rampEntry(0, -1);
    start(script, {});
    // An entry appended to the script draws without a restart.
    writeTextFile(folder.file("data/demo.txt"),
                  script + "ShaderShow\n0\n-1\ndata/colour.fs\ndata/none.jpg\n");
    EXPECT_TRUE(waitUntil(
        [&] {
            const Rgba now = centre();
            return now.r == 0 && now.g == 255;
        },
        60s))
        << "the appended entry does not draw\n"
        << errors();

    // A shader that does not compile: the error names the file and the line, and the last good
    // show goes on drawing (its blue follows the time).
    writeTextFile(shader, "#version 110\nvoid main() {\n    gl_FragColor = vec4(1.0 0.0);\n}\n");
    EXPECT_TRUE(
        waitUntil([&] { return errors().find("Reload failed") != std::string::npos; }, 60s));
    EXPECT_NE(errors().find("data/colour.fs:3:29: error: syntax error"), std::string::npos)
        << errors();
    ASSERT_TRUE(program->running()) << errors();
    const Rgba before = centre();
    EXPECT_EQ(before.g, 255);
    EXPECT_TRUE(waitUntil([&] { return centre().b != before.b; }, 10s)) << "no longer drawing";

    // The fixed shader brings the new picture.
    writeTextFile(shader, colourShader("1.0", "0.0"));
    EXPECT_TRUE(waitUntil(
        [&] {
            const Rgba now = centre();
            return now.r == 255 && now.g == 0;
        },
        60s))
        << errors();
    endWithEscape();
}

// A ShaderToy entry reloads when any of its files is saved: a buffer that breaks keeps the last
// good entry drawing with the error in the author's form, an included file and the fixed buffer
// bring the new picture.
TEST_F(AuthorRun, SavingAShaderToyEntrysBufferOrIncludedFileReloadsIt) {
    const std::string toy = folder.file("data/toy/");
    writeTextFile(toy + "image.glsl", "#iChannel0 \"file://buffer.glsl\"\n#include \"tint.glsl\"\n"
                                      "void mainImage(out vec4 c, in vec2 p) {\n"
                                      "    c = vec4(texture(iChannel0, p / iResolution.xy).r, "
                                      "tint(), 0.0, 1.0);\n"
                                      "}\n");
    writeTextFile(toy + "buffer.glsl",
                  "void mainImage(out vec4 c, in vec2 p) { c = vec4(1.0); }\n");
    writeTextFile(toy + "tint.glsl", "float tint() { return 1.0; }\n");
    start("m.ogg\n0\n2\n" + rampEntry(0, -1) + "ShaderToy\n0\n-1\ndata/toy/image.glsl\n", {});
    EXPECT_TRUE(waitUntil([&] { return centre() == Rgba{255, 255, 0, 255}; }, 60s)) << errors();

    writeTextFile(toy + "buffer.glsl",
                  "void mainImage(out vec4 c, in vec2 p) {\n    c = vec4(oops);\n}\n");
    // The window shows the loading picture while the reload loads; once it has failed, the last
    // good entry draws on.
    EXPECT_TRUE(
        waitUntil([&] { return errors().find("Reload failed") != std::string::npos; }, 60s));
    EXPECT_NE(errors().find("data/toy/buffer.glsl:2:14: error: `oops' undeclared"),
              std::string::npos)
        << errors();
    ASSERT_TRUE(program->running()) << errors();
    EXPECT_TRUE(waitUntil(
        [&] {
            return centre() == Rgba{255, 255, 0, 255};
        },
        10s))
        << "the last good entry does not draw on";

    writeTextFile(toy + "tint.glsl", "float tint() { return 0.5; }\n");
    writeTextFile(toy + "buffer.glsl",
                  "void mainImage(out vec4 c, in vec2 p) { c = vec4(0.0); }\n");
    EXPECT_TRUE(waitUntil(
        [&] {
            const Rgba now = centre();
            return now.r == 0 && now.g >= 127 && now.g <= 128;
        },
        60s))
        << errors();
    endWithEscape();
}

// A key held in a live run reaches a ShaderToy entry: #iKeyboard's functions and the website's
// keyboard channel alike; its release leaves it toggled.
TEST_F(AuthorRun, AKeyHeldInALiveRunReachesTheShaderToysKeyboard) {
    writeTextFile(folder.file("data/keys.glsl"),
                  "#iKeyboard\n#iChannel0 \"keyboard\"\n"
                  "void mainImage(out vec4 c, in vec2 p) {\n"
                  "    c = vec4(isKeyDown(Key_A) ? 1.0 : 0.0, isKeyToggled(Key_A) ? 1.0 : 0.2,\n"
                  "             texelFetch(iChannel0, ivec2(65, 0), 0).x, 1.0);\n"
                  "}\n");
    start("m.ogg\n0\n1\nShaderToy\n0\n-1\ndata/keys.glsl\n", {});
    // Past the loading picture, which start() may still see.
    EXPECT_TRUE(waitUntil([&] { return centre() == Rgba{0, 51, 0, 255}; }, 10s)) << errors();
    x->sendKeyEvent(window, "a", true);
    EXPECT_TRUE(waitUntil(
        [&] {
            return centre() == Rgba{255, 255, 255, 255};
        },
        10s))
        << "held: " << int(centre().r) << " " << int(centre().g) << " " << int(centre().b);
    x->sendKeyEvent(window, "a", false);
    EXPECT_TRUE(waitUntil(
        [&] {
            return centre() == Rgba{0, 255, 0, 255};
        },
        10s))
        << "released and toggled";
    endWithEscape();
}

// Over a single-colour show at 640 x 480, the overlay changes pixels only inside its panels, which
// do not overlap and leave most of the picture visible; its layout is kept in the user's config
// folder, not in the show's.
TEST_F(AuthorRun, F1ShowsTheOverlayInSeparatePanelsThatLeaveMostOfThePictureFree) {
    start("m.ogg\n0\n1\nPlugin\n0\n-1\n" + testPlugin("test_fill") + "\n40 90 160\n", {},
          "640x480");
    server->xdotool("mousemove 0 0"); // no tooltip from the pointer
    key("space");
    const std::vector<Rgba> plain = capture();
    key("F1");
    const std::vector<Rgba> shown = capture();
    ASSERT_EQ(plain.size(), shown.size());
    ASSERT_EQ(width, 640);
    const OverlayLayout layout = overlayLayout(width, height);
    const OverlayRect windows[] = {layout.clock, layout.tweaks, layout.timeline};
    auto insideCount = [&](int px, int py) { // with a pixel of border around each
        int count = 0;
        for (const OverlayRect& r : windows)
            count += px >= r.x - 1 && px <= r.x + r.width && py >= r.y - 1 && py <= r.y + r.height;
        return count;
    };
    long changedInside = 0, changedOutside = 0, overlapping = 0;
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px) {
            const int count = insideCount(px, py);
            overlapping += count > 1;
            if (!(plain[size_t(py * width + px)] == shown[size_t(py * width + px)]))
                ++(count > 0 ? changedInside : changedOutside);
        }
    EXPECT_EQ(overlapping, 0);
    EXPECT_EQ(changedOutside, 0);
    EXPECT_GT(changedInside, 50000) << "the overlay did not show";
    EXPECT_LE(changedInside, 640 * 480 * 40 / 100);
    std::printf("The overlay changes %ld of %d pixels at 640x480\n", changedInside, 640 * 480);
    key("F1");
    EXPECT_EQ(capture(), plain) << "hiding the overlay did not give the show's picture back";
    endWithEscape();
    EXPECT_TRUE(std::filesystem::exists(config.file("morveldan/overlay-640x480.ini")));
    for (const auto& file : std::filesystem::recursive_directory_iterator(folder.path()))
        EXPECT_NE(file.path().extension(), ".ini") << file.path();
}

} // namespace

// With real music: it is decoded once for the whole run, however often the show reloads, its beat
// is scaled (`beat auto`) and its waveform and tempo are worked out (for the strip's grid, which a
// move of an entry asks for).
TEST_F(AuthorRun, AnOutsideEditOfTheTracksFileReloadsAndABrokenOneKeepsTheLastGoodTracks) {
    std::filesystem::copy_file(MORVELDAN_BUILD_DIR "/data/music.ogg", folder.file("m.ogg"));
    const std::string tracks = startLevelShow({});
    EXPECT_TRUE(showsRed(51)) << errors();

    writeTextFile(tracks, "beat auto\ntrack level\n0 1\n");
    EXPECT_TRUE(showsRed(255)) << errors();

    writeTextFile(tracks, "track level\n0 x\n");
    EXPECT_TRUE(waitUntil(
        [&] { return errors().find("data/demo.tracks:2: bad value 'x'") != std::string::npos; },
        60s))
        << errors();
    EXPECT_NE(errors().find("Reload failed, the last good show plays on"), std::string::npos);
    ASSERT_TRUE(program->running()) << errors();
    EXPECT_TRUE(showsRed(255)) << "the last good tracks play on";
    const Rgba before = centre();
    EXPECT_TRUE(waitUntil([&] { return centre().b != before.b; }, 10s)) << "no longer drawing";

    writeTextFile(tracks, "track level\n0 0\n");
    EXPECT_TRUE(showsRed(0)) << errors();
    key("bracketright");
    EXPECT_TRUE(
        waitUntil([&] { return errors().find("The music's waveform") != std::string::npos; }, 60s))
        << errors();
    EXPECT_EQ(countIn(errors(), "Decoded the music"), 1u) << errors();
    endWithEscape();
}

namespace {

// A resize by a window manager or the viewer (xdotool windowsize), and time to draw at it.
void resizeWindow(const PrivateXServer& server, unsigned long window, int width, int height) {
    server.xdotool("windowsize " + std::to_string(window) + " " + std::to_string(width) + " " +
                   std::to_string(height));
    std::this_thread::sleep_for(1s);
}

} // namespace

TEST_F(AuthorRun, AResizedWindowShowsThePictureLetterboxedAndTheOverlayAtItsSize) {
    start("m.ogg\n0\n1\n" + rampEntry(0, -1), {}, "160x120");
    key("space"); // paused: every capture holds the same ramp colour
    struct Case {
        int width, height;
        int pictureX, pictureY, pictureWidth, pictureHeight; // where the 4:3 picture lands
    };
    const Case cases[] = {{320, 120, 80, 0, 160, 120}, {160, 240, 0, 60, 160, 120}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        resizeWindow(*server, window, c.width, c.height);
        const std::vector<Rgba> picture = capture();
        ASSERT_EQ(width, c.width);
        ASSERT_EQ(height, c.height);
        const Rgba ramp = picture[size_t(height / 2 * width + width / 2)];
        EXPECT_GT(ramp.r + ramp.g, 0);
        long bars = 0, inside = 0, wrong = 0;
        for (int py = 0; py < height; ++py)
            for (int px = 0; px < width; ++px) {
                const Rgba& p = picture[size_t(py * width + px)];
                const bool inPicture = px >= c.pictureX && px < c.pictureX + c.pictureWidth &&
                                       py >= c.pictureY && py < c.pictureY + c.pictureHeight;
                ++(inPicture ? inside : bars);
                const Rgba want = inPicture ? ramp : Rgba{};
                wrong += p.r != want.r || p.g != want.g || p.b != want.b;
            }
        EXPECT_EQ(wrong, 0) << "of " << inside << " picture and " << bars << " bar pixels";
    }
    // The overlay is laid out for the window as it is now, bars included.
    const std::vector<Rgba> plain = capture();
    key("F1");
    const std::vector<Rgba> shown = capture();
    ASSERT_EQ(shown.size(), plain.size());
    const OverlayRect clock = overlayLayout(width, height).clock;
    long changedInBar = 0;
    for (int py = int(clock.y); py < std::min(int(clock.y + clock.height), 60); ++py)
        for (int px = int(clock.x); px < int(clock.x + clock.width); ++px)
            changedInBar += !(plain[size_t(py * width + px)] == shown[size_t(py * width + px)]);
    EXPECT_GT(changedInBar, 100) << "no overlay over the upper bar";
    endWithEscape();
}
