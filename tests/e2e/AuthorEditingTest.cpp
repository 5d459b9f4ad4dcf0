// Editing in a live author run: keys set with the value keys and an entry moved in the strip,
// saved to the tracks file and the script, and drawn by shots at their times.
#include "AuthorRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The pictures Plasma2D draws, into the show's folder.
void copyPlasmaPictures(const TempDir& folder) {
    std::filesystem::create_directories(folder.file("data"));
    std::filesystem::copy(std::string(MORVELDAN_BUILD_DIR) + "/data/plasma",
                          folder.file("data/plasma"));
}

// Without a window manager xdotool's keys arrive without modifiers: the plain keys Up (the
// selected value one step up), K (a key of it) and F2 (save) stand in for a drag and Ctrl+S.
TEST_F(AuthorRun, KeySetInALiveRunIsSavedAndDrawnByAShotAtItsTime) {
    copyPlasmaPictures(folder);
    const std::string plasma = "m.ogg\n0\n1\nPlasma2D\n0\n-1\n";
    start(plasma + "3\n", {"--author"});
    const std::string tracksFile = folder.file("data/demo.tracks");
    key("space");
    key("Up"); // the seed, the only value, is selected
    key("k");
    EXPECT_NE(x->windowTitled("Morveldan - data/demo.tracks (unsaved changes)"), 0u);
    key("F2");
    EXPECT_NE(x->windowTitled("Morveldan"), 0u) << "the title still shows unsaved changes";
    const std::string saved = readText(tracksFile);
    const size_t track = saved.find("track Plasma2D@0/Plasma\n");
    ASSERT_NE(track, std::string::npos) << saved;
    const std::string keyLine = saved.substr(track + 24, saved.find('\n', track + 24) - track - 24);
    const std::string keyTime = keyLine.substr(0, keyLine.find(' '));
    EXPECT_EQ(keyLine, keyTime + " 4 linear");
    EXPECT_GE(std::stoi(keyTime), 1);

    // The author's own save brings no reload; an edit from outside does.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(errors().find("reloading the show"), std::string::npos) << errors();
    writeTextFile(tracksFile, saved + "# edited outside\n");
    EXPECT_TRUE(
        waitUntil([&] { return errors().find("Reloaded the show") != std::string::npos; }, 30s))
        << errors();
    // A change of the tracked value keys it; the run ends with it unsaved, and keeps it aside.
    key("Up");
    endWithEscape();
    const std::string recovery = config.file("morveldan/recovery/");
    EXPECT_NE(errors().find("Unsaved key edits of data/demo.tracks were kept in " + recovery),
              std::string::npos)
        << errors();
    EXPECT_EQ(readText(tracksFile), saved + "# edited outside\n");

    // A shot at the key's time draws the keyed seed: as the script with that seed draws, unlike
    // the script's own seed.
    auto shot = [&](const std::string& name) {
        const ShowResult result =
            runShow(folder.path(), {"--shot", keyTime, name, "--size", "160x120"});
        EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
        int w = 0, h = 0;
        return readImage(folder.file(name), w, h);
    };
    const std::vector<Rgba> keyed = shot("keyed.png");
    std::filesystem::remove(tracksFile);
    const std::vector<Rgba> unkeyed = shot("unkeyed.png");
    writeTextFile(folder.file("data/demo.txt"), plasma + "4\n");
    const std::vector<Rgba> seedFour = shot("four.png");
    ASSERT_FALSE(keyed.empty());
    EXPECT_EQ(keyed, seedFour);
    EXPECT_NE(keyed, unkeyed);
}

// E selects the entry under the play head, ] moves it one beat of the declared tempo, F2 saves:
// the script changes in its two times alone, the entry's track is renamed and shifted, the tempo
// line stays, and shots draw the entry at its new times.
TEST_F(AuthorRun, AnEntryMovedInTheStripIsSavedByteForByteAndDrawnAtItsNewTime) {
    copyPlasmaPictures(folder);
    const std::string tracksFile = folder.file("data/demo.tracks");
    writeTextFile(tracksFile, "tempo 120 4 0\ntrack Plasma2D@0/Plasma\n0 3\n500 5\n");
    const std::string script = "# a show\r\nm.ogg\r\n0\r\n1\r\n# the plasma, a minute\r\n"
                               "Plasma2D\r\n0\r\n60000\r\n3\r\n";
    start(script, {"--author"});
    key("space");
    key("e");
    key("bracketright");
    EXPECT_NE(x->windowTitled("Morveldan - data/demo.txt, data/demo.tracks (unsaved changes)"), 0u);
    key("F2");
    EXPECT_NE(x->windowTitled("Morveldan"), 0u) << "the title still shows unsaved changes";
    EXPECT_EQ(readText(folder.file("data/demo.txt")),
              "# a show\r\nm.ogg\r\n0\r\n1\r\n# the plasma, a minute\r\n"
              "Plasma2D\r\n500\r\n60500\r\n3\r\n");
    const std::string tracks = readText(tracksFile);
    EXPECT_NE(tracks.find("\ntempo 120 4 0\n"), std::string::npos) << tracks;
    EXPECT_NE(tracks.find("\ntrack Plasma2D@500/Plasma\n500 3 step\n1000 5 step\n"),
              std::string::npos)
        << tracks;
    EXPECT_EQ(tracks.find("Plasma2D@0/"), std::string::npos) << tracks;
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(errors().find("reloading the show"), std::string::npos) << errors();
    endWithEscape();

    // Before 500 ms nothing draws any more; the last half second of the minute now shows it.
    auto lit = [&](const char* time) {
        const ShowResult result =
            runShow(folder.path(), {"--shot", time, "shot.png", "--size", "160x120"});
        EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
        int w = 0, h = 0;
        const std::vector<Rgba> picture = readImage(folder.file("shot.png"), w, h);
        return std::any_of(picture.begin(), picture.end(),
                           [](const Rgba& pixel) { return pixel.r + pixel.g + pixel.b > 0; });
    };
    EXPECT_FALSE(lit("250"));
    EXPECT_TRUE(lit("60250"));
    EXPECT_TRUE(lit("30000"));
}

} // namespace

// A show whose only entry is a ShaderShow that reads a track: that free track is the selected
// value, so Up keys it (no recording needed) and F2 saves it.
TEST_F(AuthorRun, AFreeTrackThatTheShaderReadsIsKeyedByTheValueKeys) {
    const std::string tracks = startLevelShow({"--author"});
    key("F1"); // the overlay hides the picture's centre at this size
    ASSERT_TRUE(showsRed(51)) << errors();
    key("space");
    key("Up");
    EXPECT_TRUE(showsRed(77)) << "0.2 and a step of 0.1";
    key("F2");
    const std::string saved = readFileBytes(tracks);
    const size_t second = saved.find('\n', saved.find("\n0 0.2") + 1);
    ASSERT_NE(second, std::string::npos) << saved;
    std::istringstream key(saved.substr(second + 1));
    uint32_t time = 0;
    float value = 0;
    ASSERT_TRUE(key >> time >> value) << saved;
    EXPECT_GT(time, 0u);
    EXPECT_NEAR(value, 0.3f, 1e-6f) << saved;
    endWithEscape();
}

// An unsaved key edit is in the recovery folder as soon as it is made: a run that then dies (here
// at the reload of a shader made to crash the GL compiler, else killed) leaves it there.
TEST_F(AuthorRun, AnUnsavedKeyEditOutlivesARunThatDies) {
    copyPlasmaPictures(folder);
    const std::string shader = folder.file("data/later.fs");
    writeTextFile(shader, "#version 110\nvoid main() {\n    gl_FragColor = vec4(1.0);\n}\n");
    start("m.ogg\n0\n2\nPlasma2D\n0\n-1\n3\nShaderShow\n100000\n-1\ndata/later.fs\ndata/none.jpg\n",
          {"--author"});
    key("space");
    key("Up"); // the seed, the only value of the entry active now
    key("k");
    ASSERT_NE(x->windowTitled("Morveldan - data/demo.tracks (unsaved changes)"), 0u) << errors();
    std::string terms = "x";
    for (int i = 1; i < 30000; ++i)
        terms += "+x";
    writeTextFile(shader, "#version 110\nvoid main() {\n    float x = 0.001;\n    gl_FragColor = "
                          "vec4(" +
                              terms + ");\n}\n");
    // The driver's compiler recurses through the long sum; the run survives its reload, and what
    // the edit left must survive the hardest end, a kill.
    EXPECT_FALSE(waitUntil([&] { return !program->running(); }, 5s)) << errors();
    kill(program->pid(), SIGKILL);
    const int status = program->wait(10s);
    const std::string recovery = config.file("morveldan/recovery");
    ASSERT_TRUE(std::filesystem::is_directory(recovery)) << "ended with " << status << errors();
    const auto copy = std::filesystem::directory_iterator(recovery)->path();
    EXPECT_EQ(copy.extension(), ".tracks");
    EXPECT_NE(readText(copy.string()).find("track Plasma2D@0/Plasma\n"), std::string::npos)
        << readText(copy.string());
}
