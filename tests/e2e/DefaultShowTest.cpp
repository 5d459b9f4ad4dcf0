// The default show with the generated data, run as a user runs it: every entry loads and a frame
// in the middle of the show is drawn.
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

TEST(DefaultShow, LoadsEveryEntryAndDrawsAFrame) {
    // A run folder that sees the build's data and plug-ins, so the program's output files stay
    // out of the build tree.
    TempDir run;
    fs::create_directory_symlink(fs::path(MORVELDAN_BUILD_DIR) / "data", run.path() / "data");
    fs::create_directory_symlink(fs::path(MORVELDAN_BUILD_DIR) / "plugins", run.path() / "plugins");
    const std::string shot = run.file("frame.png");
    // 84 seconds: the video in its frame, in the quiet break.
    const ShowResult result =
        runShow(run.path(), {"--size", "160x120", "--no-message-box", "--shot", "84000", shot});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    EXPECT_EQ(result.errorOutput.find("Exception"), std::string::npos) << result.errorOutput;

    int width = 0, height = 0;
    const std::vector<Rgba> pixels = readImage(shot, width, height);
    ASSERT_EQ(width, 160);
    ASSERT_EQ(height, 120);
    const auto lit = std::count_if(pixels.begin(), pixels.end(), [](const Rgba& c) {
        return std::max({c.r, c.g, c.b}) > 40;
    });
    EXPECT_GT(lit, long(pixels.size() / 4));
}
