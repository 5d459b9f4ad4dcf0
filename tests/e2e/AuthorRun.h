#pragma once
// The author-mode tests' fixture: the real program on an X server of the test's own, its window's
// picture captured and keys sent to it.

#include "PrivateXServer.h"
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

class AuthorRun : public ::testing::Test {
protected:
    void start(const std::string& script, const std::vector<std::string>& extra,
               const std::string& size = "160x120") {
        // The overlay's layout file goes to a config folder of the test's own.
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        server = std::make_unique<PrivateXServer>("1280x1024x24");
        display = std::make_unique<ScopedDisplay>(server->displayName());
        writeTextFile(folder.file("data/demo.txt"), script);
        std::vector<std::string> arguments = {"--no-setup", "--windowed", "--no-message-box",
                                              "--size", size};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        program = std::make_unique<ShowProcess>(folder.path(), arguments);
        x = std::make_unique<XDisplay>();
        ASSERT_TRUE(
            waitUntil([&] { return (window = x->windowOfProcess(program->pid())) != 0; }, 60s))
            << errors();
        // Past the loading picture: the ramp has drawn once its time passed 255 ms.
        ASSERT_TRUE(waitUntil([&] { return centre().g > 0 || !program->running(); }, 60s));
        ASSERT_TRUE(program->running()) << errors();
    }

    std::vector<Rgba> capture() {
        const std::string file = folder.file("capture.png");
        if (!server->saveWindowImage(window, file))
            return {};
        return readImage(file, width, height);
    }
    // The picture once it holds still: two captures 300 ms apart agree (a slow run acts late).
    std::vector<Rgba> stillPicture() {
        std::vector<Rgba> last = capture();
        waitUntil(
            [&] {
                std::this_thread::sleep_for(300ms);
                std::vector<Rgba> now = capture();
                const bool still = now == last;
                last = std::move(now);
                return still;
            },
            20s);
        return last;
    }
    Rgba centre() {
        const std::vector<Rgba> picture = capture();
        return picture.empty() ? Rgba{} : picture[size_t(height / 2 * width + width / 2)];
    }
    // A key pressed and released, and time for the program to act on it and draw.
    void key(const char* name) {
        x->sendKey(window, name);
        std::this_thread::sleep_for(600ms);
    }
    void endWithEscape() {
        waitUntil(
            [&] {
                x->sendKey(window, "Escape");
                return !program->running();
            },
            30s);
        EXPECT_EQ(program->wait(10s), 0) << errors();
    }
    std::string errors() const { return program ? program->errorOutput() : ""; }
    // A ShaderShow whose red is the track `level` (0.2 in the tracks file, whose path it returns).
    std::string startLevelShow(const std::vector<std::string>& extra) {
        writeTextFile(folder.file("data/level.fs"),
                      "#version 110\nuniform float time;\nuniform float level;\nvoid main() {\n"
                      "    gl_FragColor = vec4(level, 0.5, fract(time), 1.0);\n}\n");
        const std::string tracks = folder.file("data/demo.tracks");
        writeTextFile(tracks, "track level\n0 0.2\n");
        start("m.ogg\n0\n1\nShaderShow\n0\n-1\ndata/level.fs\ndata/none.jpg\n", extra);
        return tracks;
    }
    // The level show's own picture (green 128, unlike the loading picture) with the track's red.
    bool showsRed(int red) {
        return waitUntil(
            [&] {
                const Rgba now = centre();
                return now.g == 128 && std::abs(now.r - red) <= 1;
            },
            60s);
    }

    TempDir folder;
    TempDir config;
    std::unique_ptr<PrivateXServer> server;
    std::unique_ptr<ScopedDisplay> display;
    std::unique_ptr<ShowProcess> program;
    std::unique_ptr<XDisplay> x;
    unsigned long window = 0;
    int width = 0, height = 0;
};
