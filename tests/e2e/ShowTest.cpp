// The real program run on scripts written by the tests.
#include "ShowProcess.h"
#include "TestFiles.h"
#include "audio/MusicStream.h"
#include "offline/RenderPlan.h"
#include "timeline/ShowFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// A run folder with data/demo.txt and a plug-in log file.
class RunFolder {
public:
    void script(const std::string& text) { writeTextFile(temp_.file("data/demo.txt"), text); }
    std::string log() const { return temp_.file("plugin.log"); }
    std::string file(const std::string& name) const { return temp_.file(name); }
    const std::filesystem::path& path() const { return temp_.path(); }

    std::vector<std::string> logLines(const std::string& kind) const {
        std::ifstream in(log());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (line.rfind(kind + " ", 0) == 0)
                lines.push_back(line.substr(kind.size() + 1));
        return lines;
    }

private:
    TempDir temp_;
};

std::string loggerEntry(int start, int end, const RunFolder& run, const std::string& label) {
    return "Plugin\n" + std::to_string(start) + "\n" + std::to_string(end) + "\n" +
           testPlugin("test_logger") + "\n" + run.log() + "\n" + label + "\n";
}

std::string fillEntry(int start, int end, const std::string& rgb) {
    return "Plugin\n" + std::to_string(start) + "\n" + std::to_string(end) + "\n" +
           testPlugin("test_fill") + "\n" + rgb + "\n";
}

// A 16-bit stereo WAV of a tone with the given amplitude whose fundamental is centred on spectrum
// bin `bin`: a sine, or a square wave (much more energy in the low bins).
void writeToneWav(const std::string& path, double seconds, double amplitude, int bin,
                  bool square = false) {
    const uint32_t frames = uint32_t(seconds * musicSampleRate);
    const double frequency = bin * double(musicSampleRate) / 2048;
    std::ofstream out(path, std::ios::binary);
    auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    put32(36 + frames * 4);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(musicSampleRate);
    put32(musicSampleRate * 4);
    put16(4);
    put16(16);
    out.write("data", 4);
    put32(frames * 4);
    for (uint32_t i = 0; i < frames; ++i) {
        double wave = std::sin(2 * M_PI * frequency * i / musicSampleRate);
        if (square)
            wave = wave < 0 ? -1 : 1;
        const auto sample = int16_t(std::lround(32767 * amplitude * wave));
        put16(uint16_t(sample));
        put16(uint16_t(sample));
    }
}

const std::vector<std::string> windowed = {"--no-setup", "--windowed", "--size", "160x120"};

std::vector<std::string> withWindowed(std::vector<std::string> extra) {
    std::vector<std::string> arguments = windowed;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// Starts the show on a script with a logging plug-in active all the time and waits for frames.
void startAndWaitForFrames(RunFolder& run, ShowProcess& show) {
    ASSERT_TRUE(waitUntil([&] { return !run.logLines("draw").empty() || !show.running(); }, 60s))
        << "no frame drawn";
    ASSERT_TRUE(show.running()) << "ended with " << show.wait(std::chrono::seconds(0)) << ":\n"
                                << show.errorOutput();
}

unsigned long waitForWindow(XDisplay& x, pid_t pid) {
    unsigned long window = 0;
    waitUntil([&] { return (window = x.windowOfProcess(pid)) != 0; }, 30s);
    return window;
}

// Each press goes to the window the process has now: the id of a window it has closed may already
// name another test's show on the same display.
void pressEscapeUntilTheShowEnds(XDisplay& x, ShowProcess& show) {
    waitUntil(
        [&] {
            if (const unsigned long window = x.windowOfProcess(show.pid()))
                x.sendKey(window, "Escape");
            return !show.running();
        },
        30s);
}

// The run folder of a show whose one entry, a logging plug-in, is active all the time.
RunFolder& loggingShow(RunFolder& run) {
    run.script("music.ogg\n0\n1\n" + loggerEntry(0, -1, run, "all"));
    return run;
}

// The show's window once it draws frames; 0 when there is none.
unsigned long windowWithFrames(XDisplay& x, RunFolder& run, ShowProcess& show) {
    startAndWaitForFrames(run, show);
    return show.running() ? waitForWindow(x, show.pid()) : 0;
}

TEST(ShowEnd, EscapeEndsTheShowWithoutAMessageBox) {
    XDisplay x;
    if (!x.available())
        GTEST_SKIP() << "no X display";
    RunFolder run;
    // No --no-message-box: a box would keep the program waiting and fail the test by time-out.
    ShowProcess show(loggingShow(run).path(), windowed);
    const unsigned long window = windowWithFrames(x, run, show);
    ASSERT_NE(window, 0u);
    pressEscapeUntilTheShowEnds(x, show);
    EXPECT_EQ(show.wait(10s), 0);
    EXPECT_EQ(show.errorOutput().find("morveldan: "), std::string::npos) << show.errorOutput();
}

TEST(ShowEnd, ClosingTheWindowReportsYouQuit) {
    XDisplay x;
    if (!x.available())
        GTEST_SKIP() << "no X display";
    RunFolder run;
    ShowProcess show(loggingShow(run).path(), withWindowed({"--no-message-box"}));
    const unsigned long window = windowWithFrames(x, run, show);
    ASSERT_NE(window, 0u);
    x.sendCloseRequest(window);
    EXPECT_EQ(show.wait(30s), 0);
    EXPECT_NE(show.errorOutput().find("morveldan: You quit?\n"), std::string::npos)
        << show.errorOutput();
}

TEST(ShowEnd, TheErrorBoxAppearsOnlyAfterTheWindowIsGoneAndEndsWithTheProgram) {
    XDisplay x;
    if (!x.available())
        GTEST_SKIP() << "no X display";
    // The viewer closes the box, or a stop signal ends the program while the box waits.
    for (const bool closed : {true, false}) {
        SCOPED_TRACE(closed ? "closed" : "stopped");
        RunFolder run;
        ShowProcess show(loggingShow(run).path(), windowed);
        const unsigned long window = windowWithFrames(x, run, show);
        ASSERT_NE(window, 0u);
        x.sendCloseRequest(window);
        unsigned long box = 0;
        waitUntil([&] { return (box = x.windowTitled("Error")) != 0 || !show.running(); }, 30s);
        if (!box && show.errorOutput().find("message box could not be shown") != std::string::npos)
            GTEST_SKIP() << "this display cannot show SDL message boxes (X fonts missing?): "
                         << show.errorOutput();
        ASSERT_NE(box, 0u) << show.errorOutput();
        EXPECT_EQ(x.windowOfProcess(show.pid(), "Error"), 0u) << "the show's window is still open";
        EXPECT_TRUE(show.running()) << "the box must wait for the viewer";
        if (closed)
            x.sendCloseRequest(box);
        else
            kill(show.pid(), SIGTERM);
        EXPECT_EQ(show.wait(5s), closed ? 0 : 143);
        EXPECT_NE(show.errorOutput().find("morveldan: You quit?\n"), std::string::npos);
        EXPECT_TRUE(show.leftNothingRunning());
        EXPECT_TRUE(waitUntil([&] { return x.windowTitled("Error") == 0; }, 2s));
    }
}

TEST(ShowEnd, StopSignalsEndTheShowQuietlyWithTheShellsStatus) {
    const std::pair<int, int> signals[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& [signal, status] : signals) {
        SCOPED_TRACE(signal);
        RunFolder run;
        run.script("music.ogg\n0\n1\n" + loggerEntry(0, -1, run, "all"));
        // No --no-message-box: a box would keep the program waiting until the time-out.
        ShowProcess show(run.path(), windowed);
        startAndWaitForFrames(run, show);
        kill(show.pid(), signal);
        EXPECT_EQ(show.wait(30s), status);
        EXPECT_TRUE(show.exitedByItself()) << "ended by the signal, not by the program";
        EXPECT_EQ(show.errorOutput().find("morveldan: "), std::string::npos) << show.errorOutput();
    }
}

TEST(Loading, PluginNamedWithoutAFolderIsTakenFromTheRunFolder) {
    RunFolder run;
    std::filesystem::copy_file(builtTestPlugin("test_fill"), run.file("fill.so"));
    run.script("m.ogg\n0\n1\nPlugin\n0\n-1\nfill.so\n0 255 0\n");
    const ShowResult result =
        runShow(run.path(), {"--shot", "10", run.file("shot.png"), "--size", "8x8"});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    int width = 0, height = 0;
    const std::vector<Rgba> picture = readImage(run.file("shot.png"), width, height);
    ASSERT_EQ(picture.size(), 64u);
    EXPECT_TRUE(picture[27].r == 0 && picture[27].g == 255 && picture[27].b == 0);
}

TEST(Loading, EachFailureEndsTheRunWithItsMessageAfterTheFileAndLine) {
    struct Case {
        const char* what;
        std::string script;
        std::string place; // the line before the message
        std::string message;
    };
    const std::string missing = "nonexistent/plugin.so";
    const Case cases[] = {
        {"unknown keyword",
         "m.ogg\n0\n1\nPlugin\n0\n10\n" + testPlugin("test_fill") + "\n1 2 3\n tunnel\n0\n10\n",
         "morveldan: data/demo.txt:9: the keyword line; after its start and end time, the entry "
         "before it (Plugin, line 4) reads the library path, then the lines its plug-in reads: is "
         "a line missing there, or one too many?",
         "\nUnknown entry ' tunnel' in file, please correct\n"},
        {"missing plug-in", "m.ogg\n0\n1\n# a plug-in\nPlugin\n0\n10\n" + missing + "\n",
         "morveldan: data/demo.txt:5: the entry 'Plugin'",
         "\nUnable to load plugin: " + missing + "\n" + missing +
             ": cannot open shared object file: No such file or directory\n"},
        {"plug-in without Draw",
         "m.ogg\n0\n1\nPlugin\n0\n10\n" + testPlugin("test_init_only") + "\n",
         "morveldan: data/demo.txt:4: the entry 'Plugin'",
         "\nUnable to fint Draw function in plugin: " + testPlugin("test_init_only") + "\n"},
        {"entry cut short", "m.ogg\n0\n2\n" + fillEntry(0, 10, "1 2 3") + "Plugin\n0\n# end\n",
         "morveldan: data/demo.txt:9: the entry 'Plugin'", "'Plugin' is cut short"},
        {"value beyond 32 bits", "m.ogg\n0\n1\nPlugin\n0\n99999999999\n",
         "morveldan: data/demo.txt:6: the end time of the entry 'Plugin'",
         "The number '99999999999' does not fit in 32 bits"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunFolder run;
        run.script(c.script);
        const ShowResult result = runShow(run.path(), withWindowed({"--no-message-box"}));
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.errorOutput.find(c.place + "\n"), std::string::npos) << result.errorOutput;
        EXPECT_NE(result.errorOutput.find(c.message), std::string::npos) << result.errorOutput;
        EXPECT_EQ(result.errorOutput.find("Init ran"), std::string::npos) << result.errorOutput;
    }
}

TEST(Loading, CheckListsEveryPluginAndNoPluginsSkipsThemWithAWarningEach) {
    RunFolder run;
    // A picture (python3-imageio's) named as a library: the dynamic linker refuses it.
    std::filesystem::copy_file(
        "/usr/lib/python3/dist-packages/imageio/resources/images/chelsea.png",
        run.file("chelsea.so"));
    run.script("m.ogg\n0\n3\nPlugin\n0\n-1\nchelsea.so\n" + fillEntry(0, -1, "255 128 0") +
               "FlashWhite\n0\n100\n");
    const std::string folder = std::filesystem::canonical(run.path()).string();

    const auto expectLines = [](const std::string& output, const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            EXPECT_NE(output.find(line + "\n"), std::string::npos) << line << "\n" << output;
    };
    ShowProcess check(run.path(), {"--check"});
    EXPECT_EQ(check.wait(), 1);
    expectLines(
        check.standardOutput(),
        {"data/demo.txt:4: the entry 'Plugin': Unable to load plugin: chelsea.so: it is not "
         "an ELF shared object",
         "data/demo.txt:8: plug-in " + folder + "/" + testPlugin("test_fill") +
             ": an ELF shared object for x86-64, exporting Init and Draw"});

    const ShowResult skipped = runShow(
        run.path(), {"--no-plugins", "--shot", "50", run.file("shot.png"), "--size", "8x8"});
    ASSERT_EQ(skipped.exitStatus, 0) << skipped.errorOutput;
    // One warning each; the fill plug-in's colour line is passed over and the entry after it
    // loads as written.
    const std::string skippedEntry = ": warning: the entry 'Plugin' is skipped (--no-plugins): ";
    expectLines(skipped.errorOutput, {"data/demo.txt:4" + skippedEntry + "chelsea.so",
                                      "data/demo.txt:8" + skippedEntry + testPlugin("test_fill"),
                                      "Loaded FlashWhite with start time 0 and end time 100"});
    EXPECT_EQ(skipped.errorOutput.find("warning", skipped.errorOutput.rfind(skippedEntry) +
                                                      skippedEntry.size()),
              std::string::npos)
        << skipped.errorOutput;
    int width = 0, height = 0;
    for (const Rgba& p : readImage(run.file("shot.png"), width, height))
        ASSERT_FALSE(p.r == 255 && p.g == 128 && p.b == 0) << "the plug-in drew";
}

TEST(Loading, PluginLinesCommentsAndTrailingLinesAreReadInOrderFromAWindowsStyleScript) {
    RunFolder run;
    // The logger's Init reads two lines; the second would be an unknown keyword if the loader
    // read it. Comment lines between and after the entries, and blank lines at the end. Written
    // as a Windows editor saves it: a byte-order mark and CR-LF line ends, which the logger, like
    // many plug-ins, does not strip from the file name it opens.
    std::string script = "# the show\nm.ogg\n0\n2\n" + loggerEntry(-5, -1, run, "NotAKeyword") +
                         "# next\n" + fillEntry(100, 200, "0 0 0") +
                         "\n# trailing comment\n\n   \n";
    std::string windows = "\xEF\xBB\xBF";
    for (char c : script)
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    run.script(windows);
    const ShowResult result = runShow(run.path(), {"--shot", "150", run.file("shot.png")});
    EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
    EXPECT_NE(result.errorOutput.find("Loaded Plugin with start time -5 and end time -1\n"
                                      "Loaded Plugin with start time 100 and end time 200\n"),
              std::string::npos)
        << result.errorOutput;
    EXPECT_EQ(run.logLines("init"), std::vector<std::string>{"NotAKeyword -5 -1"});
}

// Parses "time beat" log lines.
std::vector<std::pair<uint32_t, float>> drawCalls(const RunFolder& run) {
    std::vector<std::pair<uint32_t, float>> calls;
    for (const std::string& line : run.logLines("draw")) {
        unsigned time = 0;
        float beat = -1;
        std::sscanf(line.c_str(), "%u %f", &time, &beat);
        calls.emplace_back(time, beat);
    }
    return calls;
}

TEST(Frames, DrawGetsTheEffectTimesInsideItsWindowAndTheBeatLevel) {
    XDisplay x;
    if (!x.available())
        GTEST_SKIP() << "no X display";
    RunFolder run;
    // A loud low square wave saturates the beat level. The music starts 2 s in, so the first effect
    // time is about 2 * 1000 + 2; the logger is active from 2100 to 2600 only.
    writeToneWav(run.file("music.wav"), 10, 0.9, 4, true);
    run.script("music.wav\n2\n1\n" + loggerEntry(2100, 2600, run, "window"));
    ShowProcess show(run.path(), withWindowed({"--no-message-box"}));
    ASSERT_TRUE(waitUntil([&] { return !run.logLines("init").empty() || !show.running(); }, 60s));
    // Let the window pass, then end the show.
    struct timespec pause = {2, 0};
    nanosleep(&pause, nullptr);
    const unsigned long window = waitForWindow(x, show.pid());
    ASSERT_NE(window, 0u) << show.errorOutput();
    pressEscapeUntilTheShowEnds(x, show);
    ASSERT_EQ(show.wait(10s), 0) << show.errorOutput();
    const auto calls = drawCalls(run);
    ASSERT_GE(calls.size(), 3u) << "too few frames drawn";
    EXPECT_LT(calls.front().first, 2400u) << "the effect time did not start at 2002";
    uint32_t previous = 0;
    for (const auto& [time, beat] : calls) {
        EXPECT_GT(time, 2100u);
        EXPECT_LT(time, 2600u);
        EXPECT_GE(time, previous);
        EXPECT_EQ(beat, 1.0f);
        previous = time;
    }
}

TEST(Shot, SavesTheFrameAtTheGivenTimeWithTheMatchingBeat) {
    RunFolder run;
    // A moderate sine gives a beat level strictly between 0 and 1.
    writeToneWav(run.file("music.wav"), 6, 0.8, 4);
    run.script("music.wav\n1\n2\n" + fillEntry(0, -1, "255 128 0") +
               loggerEntry(2000, 4000, run, "shot"));
    const uint32_t time = 3457;
    const ShowResult result = runShow(
        run.path(), {"--shot", std::to_string(time), run.file("shot.png"), "--size", "96x64"});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;

    int width = 0, height = 0;
    const std::vector<Rgba> picture = readImage(run.file("shot.png"), width, height);
    ASSERT_EQ(width, 96);
    ASSERT_EQ(height, 64);
    for (const Rgba& p : picture)
        ASSERT_TRUE(p.r == 255 && p.g == 128 && p.b == 0)
            << int(p.r) << "," << int(p.g) << "," << int(p.b);

    // The beat of the music where the effect time first reaches `time` (start offset 1).
    MusicStream music(run.file("music.wav"), MusicOutput::Manual);
    float spectrum[spectrumSize];
    music.spectrumAt(sampleOfEffectTime(time, 1), spectrum);
    const float expected = beatLevel(spectrum);
    ASSERT_GT(expected, 0.05f);
    ASSERT_LT(expected, 0.95f);
    // The warm-up draws the logger's window from 2000 on before the shot's frame, the last one.
    const auto calls = drawCalls(run);
    ASSERT_GT(calls.size(), 1u);
    EXPECT_GT(calls.front().first, 2000u);
    EXPECT_LE(calls.front().first, 2100u);
    EXPECT_EQ(calls.back().first, time);
    EXPECT_EQ(calls.back().second, expected);
}

TEST(Shot, FailuresExitWithOne) {
    RunFolder run;
    EXPECT_EQ(runShow(run.path(), {"--shot", "10", run.file("x.png")}).exitStatus, 1);
    run.script("m.ogg\n0\n1\n" + fillEntry(0, -1, "1 1 1"));
    const ShowResult unwritable = runShow(run.path(), {"--shot", "10", "/nonexistent/x.png"});
    EXPECT_EQ(unwritable.exitStatus, 1);
    EXPECT_NE(unwritable.errorOutput.find("morveldan: Unable to save picture /nonexistent/x.png"),
              std::string::npos)
        << unwritable.errorOutput;
}

} // namespace

namespace {

TEST(ShowFolder, PlaysTheNamedFolderAndWritesOutputsWhereItWasStarted) {
    // The show names its plug-in and the plug-in's log by paths relative to its own folder.
    RunFolder show;
    std::filesystem::create_directories(show.path() / "plugins");
    std::filesystem::copy_file(builtTestPlugin("test_logger"), show.file("plugins/logger.so"));
    show.script("m.ogg\n0\n1\nPlugin\n100\n200\nplugins/logger.so\nplugin.log\nnamed\n");
    // Started from a folder with a show of its own, which must not be played.
    RunFolder start;
    start.script("m.ogg\n0\n1\nNotAKeyword\n");
    ShowProcess shot(start.path(), {show.path().string(), "--shot", "150", "shot.png"});
    ASSERT_EQ(shot.wait(), 0) << shot.errorOutput();
    EXPECT_EQ(show.logLines("init"), std::vector<std::string>{"named 100 200"});
    EXPECT_EQ(show.logLines("draw").back().rfind("150 ", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(start.file("shot.png")));

    ShowProcess notAShow(start.path(), {"--no-message-box", "nowhere"});
    EXPECT_EQ(notAShow.wait(), 1);
    EXPECT_NE(notAShow.errorOutput().find(
                  "morveldan: nowhere is not a show folder: it holds no data/demo.txt"),
              std::string::npos)
        << notAShow.errorOutput();
}

} // namespace
