// The default show with the generated data, run as a user runs it: every entry loads and a frame
// in the middle of the show is drawn; a shot is the frame a render draws at the same time.
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Runs the default show of the build tree from a folder of its own, where the outputs land.
ShowResult runDefaultShow(const TempDir& run, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {MORVELDAN_BUILD_DIR, "--size", "160x120"});
    return runShow(run.path(), arguments);
}

std::vector<Rgba> picture(const std::string& path) {
    int width = 0, height = 0;
    std::vector<Rgba> pixels = readImage(path, width, height);
    EXPECT_EQ(width, 160) << path;
    EXPECT_EQ(height, 120) << path;
    return pixels;
}

} // namespace

TEST(DefaultShow, LoadsEveryEntryAndDrawsAFrame) {
    TempDir run;
    // 84 seconds: the video in its frame, in the quiet break.
    const ShowResult result = runDefaultShow(run, {"--shot", "84000", "frame.png"});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    EXPECT_EQ(result.errorOutput.find("morveldan: "), std::string::npos) << result.errorOutput;
    const std::vector<Rgba> pixels = picture(run.file("frame.png"));
    const auto lit = std::count_if(pixels.begin(), pixels.end(), [](const Rgba& c) {
        return std::max({c.r, c.g, c.b}) > 40;
    });
    EXPECT_GT(lit, long(pixels.size() / 4));
}

TEST(DefaultShow, AShotIsTheRenderedFrameWithOrWithoutAWarmUp) {
    TempDir run;
    // ChaosZoomer feeds each frame into the next: the shot starts from its state all the same.
    const std::string time = "131000";
    ASSERT_EQ(runDefaultShow(run, {"--shot", time, "shot.png"}).exitStatus, 0);
    ASSERT_EQ(runDefaultShow(run, {"--shot", time, "cold.png", "--warmup", "0"}).exitStatus, 0);
    const ShowResult frames = runDefaultShow(
        run, {"--frames", "frames", "--from", time, "--to", std::to_string(std::stoi(time) + 1)});
    ASSERT_EQ(frames.exitStatus, 0) << frames.errorOutput;
    const std::vector<Rgba> rendered = picture(run.file("frames/frame-000000.png"));
    ASSERT_FALSE(rendered.empty());
    EXPECT_TRUE(picture(run.file("shot.png")) == rendered);
    EXPECT_TRUE(picture(run.file("cold.png")) == rendered);
}
