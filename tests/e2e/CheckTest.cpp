// morveldan --check on the default show and on a copy of it with many faults.
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The line (from 1) on which the first `marker` in the text starts.
int lineOf(const std::string& text, const std::string& marker) {
    const size_t at = text.find(marker);
    if (at == std::string::npos) {
        ADD_FAILURE() << "not in the script: " << marker;
        return 0;
    }
    return 1 + int(std::count(text.begin(), text.begin() + long(at), '\n'));
}

// Replaces the first `from` in the text; the line it starts on.
int replaceOnce(std::string& text, const std::string& from, const std::string& to) {
    const int line = lineOf(text, from);
    if (line > 0)
        text.replace(text.find(from), from.size(), to);
    return line;
}

} // namespace

TEST(Check, TheDefaultShowIsCleanAndPrintsOnlyASummary) {
    TempDir run;
    shareIntoShow(fs::path(MORVELDAN_BUILD_DIR) / "data", run.path() / "data");
    shareIntoShow(fs::path(MORVELDAN_BUILD_DIR) / "plugins", run.path() / "plugins");
    ShowProcess show(run.path(), {"--check"});
    EXPECT_EQ(show.wait(), 0) << show.standardOutput() << show.errorOutput();
    // The tempo found in the music (128 BPM, the first beat at 0), the beat's range over the music
    // (its kicks reach 1), the plug-in the show loads and the summary.
    std::smatch found;
    const std::string output = show.standardOutput();
    ASSERT_TRUE(std::regex_match(
        output, found,
        std::regex("tempo ([0-9.]+) BPM, 4 beats a bar, first bar at (-?[0-9]+) ms \\(detected "
                   "from data/music.ogg\\)\n"
                   "beat level over the music: median 0.00, 95th percentile 1.00, max 1.00\n"
                   "data/demo.txt:[0-9]+: plug-in /.*/plugins/starburst.so: an ELF shared "
                   "object for [^\n]+, exporting Init and Draw\n"
                   "data/demo.txt: [0-9]+ entries checked, no problems found\n")))
        << output;
    EXPECT_NEAR(std::stod(found[1]), 128.0, 1.28);
    EXPECT_LE(std::abs(std::stoi(found[2])), 20);
    EXPECT_EQ(show.errorOutput(), "");
}

// A tempo the tracks file declares is the one used, named by its line.
TEST(Check, PrintsTheDeclaredTempo) {
    TempDir run;
    fs::create_directory(run.path() / "data");
    for (const fs::directory_entry& item :
         fs::directory_iterator(fs::path(MORVELDAN_BUILD_DIR) / "data"))
        if (item.path().filename() != "demo.tracks")
            shareIntoShow(item.path(), run.path() / "data" / item.path().filename());
    shareIntoShow(fs::path(MORVELDAN_BUILD_DIR) / "plugins", run.path() / "plugins");
    writeTextFile(run.file("data/demo.tracks"), "# tempo\n\ntempo 140.5 3 120\n");
    ShowProcess show(run.path(), {"--check"});
    EXPECT_EQ(show.wait(), 0) << show.standardOutput() << show.errorOutput();
    EXPECT_EQ(show.standardOutput().substr(0, show.standardOutput().find('\n')),
              "tempo 140.50 BPM, 3 beats a bar, first bar at 120 ms (data/demo.tracks:3)");
}

TEST(Check, ABrokenCopyOfTheDefaultShowHasEveryFaultReportedWithItsLine) {
    TempDir run;
    fs::copy(fs::path(MORVELDAN_BUILD_DIR) / "data", run.path() / "data",
             fs::copy_options::recursive);
    shareIntoShow(fs::path(MORVELDAN_BUILD_DIR) / "plugins", run.path() / "plugins");
    const fs::path scriptPath = run.path() / "data/demo.txt";
    std::string script = readText(scriptPath);
    // Entries are found by their keyword and times, so comments may change around them.
    // Each marker starts with the line feed that ends the line before the entry.
    const int seedLine =
        replaceOnce(script, "\nPlasma2D\n75000\n82500\n7\n", "\nPlasma2D\n75000\n82500\n") + 4;
    const int circles = replaceOnce(script, "\nCircles\n90000\n", "\nCircels\n90000\n") + 1;
    const int faces = lineOf(script, "\nFaces\n95625\n") + 1;
    const int brum =
        replaceOnce(script, "\nBrum\n22500\n30000\n", "\nBrum\n22500\n99999999999\n") + 3;
    const int zoombb =
        replaceOnce(script, "\nZoombb\n161250\n163125\n", "\nZoombb\n161250\n161250\n") + 1;
    const int plugin =
        replaceOnce(script, "\nplugins/starburst.so\n", "\nplugins/nothere.so\n") - 2;
    const int manden =
        replaceOnce(script, "\nManden\n165000\n170625\n", "\nManden\n165000\n190000\n") + 1;
    const int chaos = lineOf(script, "\nChaosZoomer\n") + 1;
    const int video = lineOf(script, "\nVideo\n82500\n") + 1;
    const int shaderShow = lineOf(script, "\nShaderShow\n") + 1;
    const int image = lineOf(script, "\nAlphaBlendImage\n176250\n") + 1;
    script += "Tunnel\n0\n";
    const int cutShort = 1 + int(std::count(script.begin(), script.end(), '\n')) - 2;
    writeTextFile(scriptPath.string(), script);
    fs::remove(run.path() / "data/misc/simple.3ds");
    fs::remove(run.path() / "data/mirok/video/Video.avi");
    fs::remove(run.path() / "data/circles/text.jpg");
    writeTextFile(run.file("data/shaders/kaleidoscope.fs"),
                  "void main() { gl_FragColor = vec4(1.0) }\n");

    ShowProcess show(run.path(), {"--check"});
    EXPECT_EQ(show.wait(), 1);
    const std::string report = show.standardOutput();
    std::vector<std::string> lines; // the problems and the summary
    std::istringstream reportLines(report);
    for (std::string line; std::getline(reportLines, line);)
        if (line.find(": plug-in /") == std::string::npos && !line.starts_with("tempo ") &&
            !line.starts_with("beat level over the music: "))
            lines.push_back(line);
    const auto reported = [&](const std::string& start) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.rfind(start, 0) == 0; });
    };
    const auto at = [](int line) { return "data/demo.txt:" + std::to_string(line) + ": "; };
    const std::string expected[] = {
        at(seedLine) + "the seed of the entry 'Plasma2D': 'AlphaBlendImage' is not a number",
        at(seedLine + 1) +
            "the keyword line: Unknown entry '75000' in file, please correct; "
            "after its start and end time, the entry before it (Plasma2D, line " +
            std::to_string(seedLine - 3) + ") reads the seed",
        at(circles) +
            "the keyword line: Unknown entry 'Circels' in file, please correct; going on "
            "from line " +
            std::to_string(faces) + " (Faces)",
        at(brum) + "the end time of the entry 'Brum': The number '99999999999' does not fit in 32 "
                   "bits",
        at(zoombb) + "the entry 'Zoombb' (start 161250, end 161250) can never be active",
        at(plugin) + "the entry 'Plugin': Unable to load plugin: plugins/nothere.so",
        at(manden) +
            "the entry 'Manden' ends at 190000 ms, after the music, which ends at 180000 ms",
        at(chaos) + "the entry 'ChaosZoomer': ",
        at(video) + "the entry 'Video': ",
        at(shaderShow) +
            "the entry 'ShaderShow': data/shaders/kaleidoscope.fs:1:40: error: syntax error",
        at(image) + "the entry 'AlphaBlendImage': Unable to read image data/circles/text.jpg",
        at(cutShort) + "the entry 'Tunnel': The entry 'Tunnel' is cut short",
    };
    for (const std::string& problem : expected)
        EXPECT_TRUE(reported(problem)) << problem << "\n" << report;
    EXPECT_NE(report.find("data/misc/simple.3ds"), std::string::npos) << report;
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(" entries checked, " + std::to_string(lines.size() - 1) +
                                " problems found"),
              std::string::npos)
        << report;
    EXPECT_EQ(show.errorOutput(), "");
}

TEST(Check, AVideoThatDoesNotDecodeCleanlyIsReportedNamingTheFile) {
    TempDir run;
    const fs::path videoFolder = run.path() / "data/mirok/video";
    fs::create_directories(videoFolder);
    for (const char* name : {"frame.png", "video.fs", "distort.fs"})
        fs::copy_file(fs::path(MORVELDAN_BUILD_DIR) / "data/mirok/video" / name,
                      videoFolder / name);
    // python3-imageio's H.264 video with 400 bytes in the middle overwritten.
    std::string video =
        readText("/usr/lib/python3/dist-packages/imageio/resources/images/cockatoo.mp4");
    ASSERT_GT(video.size(), 300400u);
    video.replace(300000, 400, std::string(400, 'Z'));
    writeTextFile((videoFolder / "Video.avi").string(), video);
    writeTextFile(run.file("data/demo.txt"), "m.ogg\n0\n1\nVideo\n0\n1000\n");

    ShowProcess show(run.path(), {"--check"});
    EXPECT_EQ(show.wait(), 1);
    EXPECT_TRUE(std::regex_search(
        show.standardOutput(),
        std::regex("(^|\n)data/demo.txt:4: the entry 'Video': The video data/mirok/video/Video.avi "
                   "does not decode cleanly \\(damaged frames: [1-9][0-9]* of 280\\); the last "
                   "whole frame is shown in their place\n")))
        << show.standardOutput();
}

// A vertex and fragment pair with a file missing draws without that stage: the check warns and
// passes, and the show draws.
TEST(Check, AMissingFileOfAShaderPairIsAWarningAndTheShowDraws) {
    TempDir run;
    fs::create_directories(run.path() / "data/suite");
    for (const char* shared : {"music.ogg", "rubber", "overlay"})
        shareIntoShow(fs::path(MORVELDAN_BUILD_DIR) / "data" / shared,
                      run.path() / "data" / shared);
    fs::copy_file(fs::path(MORVELDAN_BUILD_DIR) / "data/suite/vs.txt",
                  run.file("data/suite/vs.txt"));
    writeTextFile(run.file("data/demo.txt"), "data/music.ogg\n0\n1\nShaderSuite3D\n0\n3000\n");
    ShowProcess check(run.path(), {"--check"});
    EXPECT_EQ(check.wait(), 0) << check.standardOutput();
    EXPECT_NE(check.standardOutput().find(
                  "data/demo.txt:4: warning: the entry 'ShaderSuite3D': Unable to open shader "
                  "data/suite/fs.txt (the program is made without that stage)\n"),
              std::string::npos)
        << check.standardOutput();
    EXPECT_NE(check.standardOutput().find("1 entry checked, no problems found"), std::string::npos)
        << check.standardOutput();
    const ShowResult shot =
        runShow(run.path(), {"--shot", "2500", run.file("shot.png"), "--size", "32x24"});
    EXPECT_EQ(shot.exitStatus, 0) << shot.errorOutput;
    EXPECT_TRUE(fs::exists(run.file("shot.png")));
}
