// The program with a tracks file: keys in renders, faults in checks and runs, the example show.
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// A show folder with the default show's music and pictures, a shader that paints the track `level`
// in red and a tracks file.
class TracksShow {
public:
    explicit TracksShow(const std::string& tracks) {
        fs::create_directories(run_.path() / "data");
        for (const char* shared : {"music.ogg", "overlay", "misc"})
            shareIntoShow(fs::path(MORVELDAN_BUILD_DIR) / "data" / shared,
                          run_.path() / "data" / shared);
        writeTextFile(
            run_.file("data/level.fs"),
            "uniform float level;\nvoid main() { gl_FragColor = vec4(level, 0, 0, 1); }\n");
        writeTextFile(
            run_.file("data/demo.txt"),
            "data/music.ogg\n0\n1\nShaderShow\n0\n-1\ndata/level.fs\ndata/misc/blomster.jpg\n");
        writeTextFile(run_.file("data/demo.tracks"), tracks);
    }
    const fs::path& path() const { return run_.path(); }
    std::string file(const std::string& name) const { return run_.file(name); }

private:
    TempDir run_;
};

int redOf(const std::string& picture) {
    int width = 0, height = 0;
    const std::vector<Rgba> pixels = readImage(picture, width, height);
    return pixels.empty() ? -1 : pixels[size_t(width * height / 2)].r;
}

TEST(TracksRun, AKeyChangesTheRenderedFramesFromItsTimeOnAndNotBefore) {
    const TracksShow show("track level\n0 0 step\n1500 1 step\n");
    const ShowResult result =
        runShow(show.path(), {"--frames", show.file("frames"), "--fps", "10", "--from", "1000",
                              "--to", "2000", "--warmup", "0", "--size", "16x16"});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    // Frames at 1000, 1100, ... 1900 ms: dark before the key at 1500, red from it on.
    for (int frame = 0; frame < 10; ++frame) {
        const std::string name = show.file("frames/frame-00000" + std::to_string(frame) + ".png");
        EXPECT_EQ(redOf(name), frame < 5 ? 0 : 255) << "frame " << frame;
    }
    // A single shot draws through the same frame function.
    ASSERT_EQ(runShow(show.path(), {"--shot", "1499", show.file("before.png"), "--size", "8x8"})
                  .exitStatus,
              0);
    ASSERT_EQ(
        runShow(show.path(), {"--shot", "1500", show.file("at.png"), "--size", "8x8"}).exitStatus,
        0);
    EXPECT_EQ(redOf(show.file("before.png")), 0);
    EXPECT_EQ(redOf(show.file("at.png")), 255);
}

TEST(TracksRun, CheckListsEveryFaultAtItsLineAndARunStopsAtThem) {
    const TracksShow show("track level\n"             // 1
                          "0 0 linear\n"              // 2
                          "900 1,5\n"                 // 3
                          "800 1 easein\n"            // 4
                          "700 1\n"                   // 5
                          "600 1\n"                   // 6
                          "track ShaderShow@0/Gain\n" // 7
                          "0 1\n"                     // 8
                          "track ShaderShow@5/Gain\n" // 9
                          "0 1\n");                   // 10
    ShowProcess check(show.path(), {"--check"});
    EXPECT_EQ(check.wait(), 1);
    // After the tempo found in the music and the beat's range.
    const std::string report = check.standardOutput();
    EXPECT_TRUE(report.starts_with("tempo 128.")) << report;
    EXPECT_EQ(report.substr(report.find('\n') + 1),
              "beat level over the music: median 0.00, 95th percentile 1.00, max 1.00\n"
              "data/demo.tracks:3: bad value '1,5': a finite number\n"
              "data/demo.tracks:4: bad interpolation 'easein': step, linear, smooth or ramp\n"
              "data/demo.tracks:6: time 600 is not after the previous key's time 700\n"
              "data/demo.tracks:7: unknown target 'ShaderShow@0/Gain': no entry of the script has "
              "this value\n"
              "data/demo.tracks:9: unknown target 'ShaderShow@5/Gain': no entry of the script has "
              "this value\n"
              "data/demo.txt: 1 entry checked, 5 problems found\n");

    const ShowResult shot =
        runShow(show.path(), {"--shot", "100", show.file("shot.png"), "--no-message-box"});
    EXPECT_EQ(shot.exitStatus, 1);
    EXPECT_NE(shot.errorOutput.find("morveldan: data/demo.tracks:3: bad value '1,5': a finite "
                                    "number\ndata/demo.tracks:4: bad interpolation"),
              std::string::npos)
        << shot.errorOutput;
    EXPECT_FALSE(fs::exists(show.file("shot.png")));
}

TEST(TracksRun, TheExampleShowChecksCleanAndPlaysItsKeys) {
    const fs::path example = fs::path(MORVELDAN_BUILD_DIR) / "examples/tracks";
    ShowProcess check(example, {"--check"});
    EXPECT_EQ(check.wait(), 0) << check.standardOutput();
    const std::string summary = "data/demo.txt: 5 entries checked, no problems found\n";
    const std::string report = check.standardOutput();
    EXPECT_TRUE(report.size() >= summary.size() &&
                report.compare(report.size() - summary.size(), summary.size(), summary) == 0)
        << report;
    // Brum's background steps to a larger size at 1875 ms: the picture changes at the key.
    const TempDir out;
    for (const char* time : {"1874", "1875"})
        ASSERT_EQ(runShow(example, {"--shot", time, out.file(std::string(time) + ".png"), "--size",
                                    "32x24", "--warmup", "0"})
                      .exitStatus,
                  0);
    int width = 0, height = 0;
    const std::vector<Rgba> before = readImage(out.file("1874.png"), width, height);
    const std::vector<Rgba> at = readImage(out.file("1875.png"), width, height);
    ASSERT_EQ(before.size(), at.size());
    size_t changed = 0;
    for (size_t i = 0; i < at.size(); ++i)
        changed += !(before[i] == at[i]);
    EXPECT_GT(changed, at.size() / 2) << "the background's size steps at the key";
}

} // namespace

namespace {

// Draw times and beat levels of a test_logger log.
std::map<uint32_t, float> loggedBeats(const std::string& log) {
    std::map<uint32_t, float> beats;
    std::istringstream lines(readFileBytes(log));
    std::string word;
    uint32_t time = 0;
    float beat = 0;
    while (lines >> word)
        if (word == "draw" && lines >> time >> beat)
            beats[time] = beat;
    return beats;
}

float largest(const std::map<uint32_t, float>& beats) {
    float most = 0;
    for (const auto& [time, beat] : beats)
        most = std::max(most, beat);
    return most;
}

} // namespace

// A tracker module from a game's data: its own loud moments barely move the beat until `beat auto`
// scales it, and then every run, from wherever it starts, sees the same beat.
TEST(TracksRun, BeatAutoScalesTheBeatToRealMusicAlikeInEveryRun) {
    const fs::path module = "/usr/share/games/tecnoballz/musics/high-score.mod";
    if (!fs::exists(module))
        GTEST_SKIP() << module << " is missing: tools/setup.sh installs tecnoballz-data";
    TempDir run;
    fs::create_directories(run.path() / "data");
    shareIntoShow(module, run.path() / "data/music.mod");
    writeTextFile(run.file("data/demo.txt"), "data/music.mod\n0\n1\nPlugin\n0\n-1\n" +
                                                 testPlugin("test_logger") + "\n" +
                                                 run.file("beat.log") + "\nbeat\n");
    const auto check = [&] {
        ShowProcess process(run.path(), {"--check"});
        EXPECT_EQ(process.wait(), 0) << process.errorOutput();
        return process.standardOutput();
    };
    const auto render = [&](const std::string& from, const std::string& to) {
        fs::remove(run.file("beat.log"));
        const ShowResult result =
            runShow(run.path(), {"--frames", run.file("frames"), "--fps", "25", "--from", from,
                                 "--to", to, "--warmup", "0", "--size", "8x8"});
        EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
        EXPECT_EQ(countIn(result.errorOutput, "Decoded the music"), 1u)
            << "the music decoded once a run, also where its beat is measured\n"
            << result.errorOutput;
        return loggedBeats(run.file("beat.log"));
    };
    const std::string plain = check();
    EXPECT_NE(plain.find("beat level over the music: median 0.00, 95th percentile 0.0"),
              std::string::npos)
        << plain;
    EXPECT_NE(plain.find("a line 'beat auto' in data/demo.tracks"), std::string::npos) << plain;
    const std::map<uint32_t, float> before = render("0", "20000");
    ASSERT_EQ(before.size(), 499u); // at 0 the entry is not yet active
    EXPECT_LT(largest(before), 0.1f);

    writeTextFile(run.file("data/demo.tracks"), "beat auto\n");
    const std::string scaled = check();
    EXPECT_NE(scaled.find(", max 1.00 (with beat auto)"), std::string::npos) << scaled;
    EXPECT_EQ(scaled.find("hardly moves"), std::string::npos) << scaled;
    const std::map<uint32_t, float> after = render("0", "20000");
    ASSERT_EQ(after.size(), 499u);
    EXPECT_EQ(largest(after), 1.0f);
    std::vector<float> levels;
    for (const auto& [time, beat] : after)
        levels.push_back(beat);
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    EXPECT_LT(levels[levels.size() / 2], 0.1f) << "between hits the beat rests near 0";

    // A render that starts later scales by the whole music too: the same beat at the same times.
    // (Its lead-in draws from the show's start as well.)
    const std::map<uint32_t, float> later = render("12000", "13000");
    ASSERT_EQ(later.count(12960), 1u);
    for (const auto& [time, beat] : later)
        EXPECT_EQ(beat, after.at(time)) << "at " << time;
}

// A track one letter or a case off the shader's uniform feeds nothing: the check warns from both
// sides, naming the other's file and line, and still passes. A plug-in may read any name.
TEST(TracksRun, CheckWarnsOfATrackAndAUniformThatNearlyShareAName) {
    const TracksShow show("track Level\n0 1\ntrack lvel\n0 1\n");
    ShowProcess check(show.path(), {"--check"});
    EXPECT_EQ(check.wait(), 0);
    const std::string report = check.standardOutput();
    for (const char* warning :
         {"data/demo.tracks:1: warning: the track 'Level' feeds nothing: no shader of the show "
          "declares 'uniform float Level;'; the closest is 'level' (data/level.fs:1)\n",
          "data/demo.tracks:3: warning: the track 'lvel' feeds nothing: no shader of the show "
          "declares 'uniform float lvel;'; the closest is 'level' (data/level.fs:1)\n",
          "data/level.fs:1: warning: no track feeds 'uniform float level;', but the track "
          "'Level' (data/demo.tracks:1) nearly names it\n"})
        EXPECT_NE(report.find(warning), std::string::npos) << warning << report;

    writeTextFile(show.file("data/demo.txt"),
                  "data/music.ogg\n0\n2\nShaderShow\n0\n-1\ndata/level.fs\ndata/misc/blomster.jpg\n"
                  "Plugin\n0\n-1\n" +
                      testPlugin("test_fill") + "\n0 0 0\n");
    ShowProcess withPlugin(show.path(), {"--check"});
    EXPECT_EQ(withPlugin.wait(), 0);
    EXPECT_EQ(withPlugin.standardOutput().find("feeds nothing"), std::string::npos)
        << withPlugin.standardOutput();
    EXPECT_NE(withPlugin.standardOutput().find("no track feeds 'uniform float level;'"),
              std::string::npos)
        << withPlugin.standardOutput();
}
