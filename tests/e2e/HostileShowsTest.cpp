// Shows made to harm whoever runs them, built by the test: each is checked and refused at the file
// and line that hold the harm, in seconds and within a memory bound, and leaves nothing running.
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

struct HostileShow {
    const char* what;
    std::function<void(const fs::path& show)> build; // the show's files besides its script
    std::string entries;                             // the script after its header
    std::string expected;                            // a line of the report, or part of one
    std::string music = "data/none.wav";
    std::vector<std::string> options = {};
};

void pipeAt(const fs::path& path) {
    fs::create_directories(path.parent_path());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
}

void linkAt(const fs::path& path, const fs::path& target) {
    fs::create_directories(path.parent_path());
    fs::create_symlink(target, path);
}

const std::string toyMain = "void mainImage(out vec4 c, in vec2 p) { c = vec4(1.0); }\n";

std::string image(const std::string& path) {
    return "AlphaBlendImage\n0\n1000\n" + path + "\nBEATCENTER\n";
}
std::string toy(const std::string& path) { return "ShaderToy\n0\n1000\n" + path + "\n"; }

void writeToy(const fs::path& show, const std::string& name, const std::string& lines) {
    writeTextFile((show / "data" / name).string(), lines + toyMain);
}

constexpr const char* outside = "a show reads only files inside its folder (--allow-outside lets "
                                "it read others)";

} // namespace

TEST(HostileShows, EachIsRefusedAtItsLineInSecondsAndLeavesNothingRunning) {
    TempDir elsewhere;
    const fs::path secret = elsewhere.path() / "private.jpg";
    writeImage(
        secret.string(), 4, 4,
        [](int, int) {
            return Rgba{9, 9, 9, 255};
        },
        false);
    writeTextFile(elsewhere.file("evil.glsl"), toyMain);
    const std::string pipe = "it is a named pipe, not a regular file";
    std::string flashes;
    for (int i = 0; i < 100000; ++i)
        flashes +=
            "FlashWhite\n" + std::to_string(i * 10) + "\n" + std::to_string(i * 10 + 10) + "\n";
    const HostileShow shows[] = {
        {"an include of /dev/zero",
         [](const fs::path& show) { writeToy(show, "zero.glsl", "#include \"/dev/zero\"\n"); },
         toy("data/zero.glsl"),
         "data/demo.txt:4: the entry 'ShaderToy': data/zero.glsl:1:1: error: the included file "
         "/dev/zero is refused: its path is absolute: " +
             std::string(outside)},
        {"an include of /dev/zero, outside allowed",
         [](const fs::path& show) { writeToy(show, "zero.glsl", "#include \"/dev/zero\"\n"); },
         toy("data/zero.glsl"),
         "data/zero.glsl:1:1: error: the included file /dev/zero is refused: it is a device, not "
         "a regular file",
         "data/none.wav",
         {"--allow-outside"}},
        {"an include of /dev/tty",
         [](const fs::path& show) { writeToy(show, "tty.glsl", "#include \"/dev/tty\"\n"); },
         toy("data/tty.glsl"), "the included file /dev/tty is refused: its path is absolute"},
        {"an include that leaves the folder",
         [&](const fs::path& show) {
             writeToy(show, "up.glsl",
                      "#include \"" +
                          fs::relative(elsewhere.file("evil.glsl"), show / "data").string() +
                          "\"\n");
         },
         toy("data/up.glsl"), "is refused: its path leads out of the show folder"},
        {"a pass that is a link to /dev/urandom",
         [](const fs::path& show) { linkAt(show / "data/random.glsl", "/dev/urandom"); },
         toy("data/random.glsl"),
         "data/demo.txt:4: the entry 'ShaderToy': data/random.glsl: error: the shader file is "
         "refused: it is a link to /dev/urandom, outside the show folder"},
        {"a sparse pass of 4 GiB",
         [](const fs::path& show) {
             writeToy(show, "huge.glsl", "");
             fs::resize_file(show / "data/huge.glsl", uintmax_t(4) << 30);
         },
         toy("data/huge.glsl"),
         "data/huge.glsl: error: the shader file is refused: it is larger than 1 MiB, the largest "
         "shader a show may have"},
        {"a ShaderShow shader that is a link out",
         [&](const fs::path& show) { linkAt(show / "data/show.fs", elsewhere.file("evil.glsl")); },
         "ShaderShow\n0\n1000\ndata/show.fs\ndata/none.png\n",
         "data/demo.txt:4: the entry 'ShaderShow': data/show.fs is refused: it is a link to " +
             elsewhere.file("evil.glsl") + ", outside the show folder"},
        {"a picture that is a pipe", [](const fs::path& show) { pipeAt(show / "data/p.png"); },
         image("data/p.png"),
         "data/demo.txt:4: the entry 'AlphaBlendImage': data/p.png is refused: " + pipe},
        {"a private photo by its absolute path", [](const fs::path&) {}, image(secret.string()),
         "data/demo.txt:4: the entry 'AlphaBlendImage': " + secret.string() +
             " is refused: its path is absolute"},
        {"a private photo through a linked folder",
         [&](const fs::path& show) { linkAt(show / "data/shared", elsewhere.path()); },
         image("data/shared/private.jpg"),
         "data/shared/private.jpg is refused: it is a link to " + secret.string()},
        {"a pass that is a pipe", [](const fs::path& show) { pipeAt(show / "data/p.glsl"); },
         toy("data/p.glsl"), "data/p.glsl: error: the shader file is refused: " + pipe},
        {"a channel picture out of the folder",
         [&](const fs::path& show) {
             writeToy(show, "channel.glsl",
                      "#iChannel0 \"file://" + fs::relative(secret, show / "data").string() +
                          "\"\n");
         },
         toy("data/channel.glsl"),
         "data/demo.txt:4: the entry 'ShaderToy': data/channel.glsl:1:1: error: the image ../" +
             secret.parent_path().filename().string() +
             "/private.jpg is refused: its path leads out of the show folder"},
        {"a channel video that is a pipe",
         [](const fs::path& show) {
             pipeAt(show / "data/clip.avi");
             writeToy(show, "video.glsl", "#iChannel0 \"file://clip.avi\"\n");
         },
         toy("data/video.glsl"),
         "the video data/clip.avi cannot be played: data/clip.avi is refused: " + pipe},
        {"a model that is a pipe",
         [](const fs::path& show) { pipeAt(show / "data/rubber/simple.3ds"); },
         "Rubber3d\n0\n1000\n",
         "data/demo.txt:4: the entry 'Rubber3d': data/rubber/simple.3ds is refused: " + pipe},
        {"a tracks file that is a pipe",
         [](const fs::path& show) { pipeAt(show / "data/demo.tracks"); }, "",
         "data/demo.tracks is refused: " + pipe},
        {"music that is a pipe", [](const fs::path& show) { pipeAt(show / "data/m.ogg"); }, "",
         "data/demo.txt:1: the music file: data/m.ogg is refused: " + pipe, "data/m.ogg"},
        {"music by its absolute path", [](const fs::path&) {}, "",
         "data/demo.txt:1: the music file: /dev/zero is refused: its path is absolute",
         "/dev/zero"},
        {"music that is a playlist of music elsewhere",
         [&](const fs::path& show) {
             fs::copy_file(fs::path(MORVELDAN_BUILD_DIR) / "data/music.ogg",
                           elsewhere.file("music.ogg"));
             writeTextFile((show / "data/list.m3u8").string(),
                           "#EXTM3U\n#EXT-X-TARGETDURATION:100\n#EXTINF:100,\nfile:" +
                               elsewhere.file("music.ogg") + "\n#EXT-X-ENDLIST\n");
         },
         "", "data/demo.txt:1: Music file data/list.m3u8 cannot be read", "data/list.m3u8"},
        {"ten pictures of 16384x16384",
         [](const fs::path& show) {
             for (int i = 0; i < 10; ++i)
                 writeTextFile((show / ("data/big" + std::to_string(i) + ".png")).string(),
                               pngClaiming(16384, 16384));
         },
         [] {
             std::string entries;
             for (int i = 0; i < 10; ++i)
                 entries += image("data/big" + std::to_string(i) + ".png");
             return entries;
         }(),
         "data/demo.txt:49: the entry 'AlphaBlendImage': Image data/big9.png is refused: its "
         "16384x16384 pixels take 1024.0 MiB, and the show's pictures have 512.0 MiB left"},
        {"100,000 entries", [](const fs::path&) {}, flashes,
         "data/demo.txt: 100000 entries checked"},
        {"100,000 entries over a load limit",
         [](const fs::path&) {},
         flashes,
         "longer than the 0.05 s a load may take (--load-limit): it stops here; the slowest were "
         "data/demo.txt:",
         "data/none.wav",
         {"--load-limit", "0.05"}},
        {"a shader that loops, in a shot",
         [](const fs::path& show) {
             writeTextFile((show / "data/loop.glsl").string(),
                           "void mainImage(out vec4 c, in vec2 p) {\n    float x = p.x;\n"
                           "    for (int i = 0; i < 100000; i++)\n        x = sin(x + iTime);\n"
                           "    c = vec4(x);\n}\n");
         },
         toy("data/loop.glsl"),
         "morveldan: one frame took longer than 1 s, the limit (--frame-limit): the entries "
         "active at 500 ms: data/demo.txt:4 ShaderToy\n",
         "data/none.wav",
         {"--shot", "500", "shot.png", "--size", "640x480", "--frame-limit", "1"}},
        {"a shader of one sum of 30,000 terms, which the compiler recurses through",
         [](const fs::path& show) {
             std::string sum = "x";
             for (int term = 1; term < 30000; ++term)
                 sum += "+x";
             // A number of this run's own, so that no shader cache of the driver's answers.
             writeTextFile((show / "data/sum.glsl").string(),
                           "void mainImage(out vec4 c, in vec2 p) {\n    float x = p.x * " +
                               std::to_string(getpid()) + ".0;\n    c = vec4(" + sum + ");\n}\n");
         },
         toy("data/sum.glsl"), "data/demo.txt: 1 entry checked, 1 problem found"},
        {"a plug-in whose code runs when it is loaded", [](const fs::path&) {},
         "Plugin\n0\n1000\n" + testPlugin("test_marker") + "\n",
         "/" + testPlugin("test_marker") + ": an ELF shared object for "},
        {"a plug-in out of the folder", [](const fs::path&) {},
         "Plugin\n0\n1000\n../outside/evil.so\n",
         "data/demo.txt:4: the entry 'Plugin': ../outside/evil.so is refused: its path leads "
         "out of the show folder"},
    };
    for (const HostileShow& hostile : shows) {
        SCOPED_TRACE(hostile.what);
        TempDir run;
        fs::create_directories(run.path() / "data");
        hostile.build(run.path());
        writeTextFile(run.file("data/demo.txt"), hostile.music + "\n0\n1\n" + hostile.entries);
        std::vector<std::string> arguments = hostile.options;
        if (std::find(arguments.begin(), arguments.end(), "--shot") == arguments.end())
            arguments.push_back("--check");
        ShowProcess check(run.path(), arguments);
        EXPECT_EQ(check.wait(std::chrono::seconds(20)), 1) << "did not end in 20 s";
        const std::string said = check.standardOutput() + check.errorOutput();
        EXPECT_NE(said.find(hostile.expected), std::string::npos)
            << hostile.expected << "\nnot in:\n"
            << said;
        EXPECT_LT(check.peakKilobytes(), 1024 * 1024) << "more than 1 GiB";
        EXPECT_TRUE(check.leftNothingRunning());
        EXPECT_FALSE(fs::exists(run.path() / "plug-in-ran")) << "the check ran a plug-in's code";
    }
}

TEST(HostileShows, ASlowFrameInALiveRunIsNamedAndEscapeEndsIt) {
    XDisplay x;
    if (!x.available())
        GTEST_SKIP() << "no X display";
    TempDir run;
    writeTextFile(run.file("data/loop.glsl"),
                  "void mainImage(out vec4 c, in vec2 p) {\n    float x = p.x;\n"
                  "    for (int i = 0; i < 100000; i++)\n        x = sin(x + iTime);\n"
                  "    c = vec4(x);\n}\n");
    // Active from the start on: a first frame slow for other reasons may take the clock far.
    writeTextFile(run.file("data/demo.txt"),
                  "data/none.wav\n0\n1\nShaderToy\n0\n-1\ndata/loop.glsl\n");
    ShowProcess show(run.path(),
                     {"--no-setup", "--windowed", "--size", "640x480", "--no-message-box"});
    // Another frame may be slow first (the first one, under a sanitizer): the entry's is awaited.
    const std::string slowEntry = " ms: data/demo.txt:4 ShaderToy (Escape ends the run)\n";
    ASSERT_TRUE(waitUntil(
        [&] { return show.errorOutput().find(slowEntry) != std::string::npos || !show.running(); },
        std::chrono::seconds(60)))
        << show.errorOutput();
    const std::string said = show.errorOutput();
    const size_t from = said.rfind("the entries active at ", said.find(slowEntry));
    ASSERT_NE(from, std::string::npos) << said;
    const size_t to = said.find(" (Escape ends the run)\n", from);
    EXPECT_NE(said.substr(from, to - from).find(": data/demo.txt:4 ShaderToy"), std::string::npos)
        << said;
    const unsigned long window = x.windowOfProcess(show.pid());
    ASSERT_NE(window, 0u);
    EXPECT_NE(x.windowTitled("Morveldan - slow frame: " + said.substr(from, to - from)), 0u);
    x.sendKey(window, "Escape");
    EXPECT_EQ(show.wait(std::chrono::seconds(5)), 0) << "Escape did not end the slow frame's run";
    EXPECT_NE(show.errorOutput().find("morveldan: ended by Escape in a slow frame\n"),
              std::string::npos)
        << show.errorOutput();
    EXPECT_TRUE(show.leftNothingRunning());
}
