// morveldan --new: a starter show that passes --check and draws, explained line by line by its
// README, and a folder that holds anything refused.
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

double meanBrightness(const std::string& png) {
    int width = 0, height = 0;
    const std::vector<Rgba> pixels = readImage(png, width, height);
    double sum = 0;
    for (const Rgba& pixel : pixels)
        sum += pixel.r + pixel.g + pixel.b;
    return pixels.empty() ? 0 : sum / (3.0 * double(pixels.size()));
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(StarterShow, NewMakesAShowThatChecksCleanDrawsItsTrackAndIsExplainedLineByLine) {
    TempDir run;
    ShowProcess made(run.path(), {"--new", "mine"});
    ASSERT_EQ(made.wait(), 0) << made.errorOutput();
    EXPECT_NE(made.standardOutput().find("mine/README.md"), std::string::npos);

    // Every file its entries read is in place: the check has no problem and not even a warning
    // (lines that describe the music, such as the beat level's range, may come first).
    ShowProcess check(run.path(), {"--check", "mine"});
    EXPECT_EQ(check.wait(), 0) << check.standardOutput();
    EXPECT_TRUE(std::regex_search(check.standardOutput(),
                                  std::regex("(^|\n)data/demo.txt: [0-9]+ entries checked, no "
                                             "problems found\n$")))
        << check.standardOutput();
    EXPECT_EQ(check.standardOutput().find("warning"), std::string::npos) << check.standardOutput();

    // Its own shader draws the picture, brightened by the track glow (0 at the start, 1 at 3750).
    for (const char* time : {"200", "3750"})
        EXPECT_EQ(runShow(run.path(), {"mine", "--size", "160x120", "--shot", time,
                                       std::string("at") + time + ".png"})
                      .exitStatus,
                  0)
            << time;
    const double dim = meanBrightness(run.file("at200.png"));
    const double bright = meanBrightness(run.file("at3750.png"));
    EXPECT_GT(dim, 5.0) << "the picture is drawn";
    EXPECT_GT(bright, 1.5 * dim) << "the track glow reaches the shader";

    // The README's table names each entry's lines; the script has the keyword on the first.
    const std::vector<std::string> script = linesOf(readFileBytes(run.file("mine/data/demo.txt")));
    const std::string readme = readFileBytes(run.file("mine/README.md"));
    const std::regex row(R"(\| ([0-9]+)-([0-9]+) \| `([A-Za-z0-9]+)` from)");
    int rows = 0;
    for (auto match = std::sregex_iterator(readme.begin(), readme.end(), row);
         match != std::sregex_iterator(); ++match, ++rows) {
        const size_t first = std::stoul((*match)[1]);
        ASSERT_LE(first, script.size());
        EXPECT_EQ(script[first - 1], (*match)[3].str()) << "README line " << first;
    }
    EXPECT_EQ(std::to_string(rows), script.at(3)) << "one row per entry, as many as the count";

    // A folder that holds anything is left alone.
    const std::string before = readFileBytes(run.file("mine/data/demo.txt"));
    ShowProcess again(run.path(), {"--new", "mine"});
    EXPECT_EQ(again.wait(), 1);
    EXPECT_NE(again.errorOutput().find("mine exists and is not empty"), std::string::npos)
        << again.errorOutput();
    EXPECT_EQ(readFileBytes(run.file("mine/data/demo.txt")), before);
    writeTextFile(run.file("file"), "x");
    EXPECT_EQ(runShow(run.path(), {"--new", "file"}).exitStatus, 1);
    fs::create_directory(run.path() / "empty");
    EXPECT_EQ(runShow(run.path(), {"--new", "empty"}).exitStatus, 0) << "an empty folder is fine";
}
