// The parts of author mode that need no window: transport, tweak definitions, the timeline
// strip's entries and rows, frame statistics, shader log lines and the file watcher.
#include "TestFiles.h"
#include "TestShow.h"
#include "audio/MusicStream.h"
#include "author/FileWatcher.h"
#include "author/FrameStats.h"
#include "author/Overlay.h"
#include "author/ShowEntries.h"
#include "author/TweakDefinition.h"
#include "player/FrameLoop.h"
#include "player/Transport.h"
#include "render/Shader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;

class Entry : public Effekt {
public:
    using Effekt::Effekt;
    void draw(uint32_t, float) override {}
};

EffectList entriesOf(std::initializer_list<std::pair<int32_t, int32_t>> windows) {
    EffectList effects;
    for (const auto& [start, end] : windows)
        effects.push_back(std::make_unique<Entry>(start, end));
    return effects;
}

// Twenty seconds of silence.
std::vector<float> silence() { return std::vector<float>(size_t(musicSampleRate) * 20 * 2); }

TEST(Transport, SeeksLandOnExactEffectTimesAndClampAtTheStart) {
    MusicStream music(silence(), MusicOutput::Manual);
    Transport transport(music, 7);
    for (const uint32_t time : {7u, 8u, 1007u, 4321u, 12345u, 19999u}) {
        transport.seekTo(time);
        EXPECT_EQ(transport.time(), time);
    }
    transport.seekTo(3); // before the music's start
    EXPECT_EQ(transport.time(), 7u);
    transport.seekTo(5007);
    transport.seekBy(10);
    EXPECT_EQ(transport.time(), 15007u);
    transport.seekBy(-1);
    EXPECT_EQ(transport.time(), 14007u);
    transport.seekBy(-30);
    EXPECT_EQ(transport.time(), 7u);
}

TEST(Transport, PauseHoldsTheClockAndHomeGoesToTheShowsStart) {
    MusicStream music(silence(), MusicOutput::Silent);
    music.play(true);
    Transport transport(music, 2); // the show starts 2 s into the music
    transport.togglePause();
    ASSERT_TRUE(transport.paused());
    transport.seekTo(6000);
    const uint32_t held = transport.time();
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(transport.time(), held) << "the time moved while paused";
    EXPECT_EQ(held, 6000u) << "a seek while paused moves the paused time";
    transport.togglePause();
    EXPECT_FALSE(transport.paused());
    std::this_thread::sleep_for(60ms);
    EXPECT_GT(transport.time(), held + 30);
    transport.home();
    EXPECT_NEAR(double(transport.time()), 2002.0, 30.0);
}

TEST(Transport, EntryJumpsGoToTheFirstDrawnMillisecond) {
    MusicStream music(silence(), MusicOutput::Manual);
    Transport transport(music, 0);
    // Out of order, overlapping, one that never starts inside the music (-1) and one after it.
    const EffectList effects =
        entriesOf({{2500, 4000}, {0, 1000}, {1000, 3000}, {-1, -1}, {25000, 26000}});
    struct Case {
        uint32_t from;
        bool next;
        uint32_t expected;
    };
    const Case cases[] = {
        {1500, true, 2501},  {2501, true, 2501}, {2400, true, 2501}, // no later entry: stays
        {1600, false, 1001}, {1400, false, 1},   {300, false, 0},    // within 0.5 s: the one before
    };
    for (const Case& c : cases) {
        transport.seekTo(c.from);
        if (c.next)
            transport.nextEntry(effects);
        else
            transport.previousEntry(effects);
        EXPECT_EQ(transport.time(), c.expected)
            << (c.next ? "next" : "previous") << " from " << c.from;
    }
}

TEST(Transport, LoopSpansTheActiveEntriesForAtLeastASecond) {
    MusicStream music(silence(), MusicOutput::Manual);
    Transport transport(music, 0);
    const EffectList effects = entriesOf({{1000, 3000}, {2500, 4000}, {5000, 5300}, {0, -1}});
    struct Case {
        uint32_t at, start, end;
    };
    const Case cases[] = {
        {2700, 2501, 3501}, // latest start; the earliest end is too close
        {1500, 1001, 3000}, // latest start, earliest end
        {5100, 5001, 6001}, // a short entry still loops a second
        {4500, 1, 20000},   // only the endless entry: up to the music's end
    };
    for (const Case& c : cases) {
        transport.seekTo(c.at);
        transport.toggleLoop(effects);
        ASSERT_TRUE(transport.looping());
        EXPECT_EQ(transport.loopStart(), c.start) << "at " << c.at;
        EXPECT_EQ(transport.loopEnd(), c.end) << "at " << c.at;
        transport.seekTo(c.end);
        transport.keepInLoop();
        EXPECT_EQ(transport.time(), c.start) << "not back at the loop's start";
        transport.toggleLoop(effects);
        EXPECT_FALSE(transport.looping());
    }
    transport.seekTo(9000);
    transport.keepInLoop();
    EXPECT_EQ(transport.time(), 9000u) << "an ended loop still moved the time";
}

TEST(TweakDefinition, ReadsLabelAndLimits) {
    struct Case {
        const char* text;
        const char* label;
        std::optional<double> min, max, step;
    };
    const Case cases[] = {
        {" label='Fog near' min=0 max=1000 step=0.5", "Fog near", 0.0, 1000.0, 0.5},
        {"MIN=-2 Max=3e1", "", -2.0, 30.0, std::nullopt},
        {"label=\"a = b\" step=abc max=", "a = b", std::nullopt, std::nullopt, std::nullopt},
        {"garbage min=1 label='unclosed", "unclosed", 1.0, std::nullopt, std::nullopt},
        {"", "", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const TweakDefinition parsed = parseTweakDefinition(c.text);
        EXPECT_EQ(parsed.label, c.label) << c.text;
        EXPECT_EQ(parsed.min, c.min) << c.text;
        EXPECT_EQ(parsed.max, c.max) << c.text;
        EXPECT_EQ(parsed.step, c.step) << c.text;
    }
}

TEST(TimelineStrip, OverlappingEntriesGetSeparateRows) {
    TestShow show = makeTestShow("Plain\n0\n1000\nPlain\n1000\n2000\nPlain\n500\n1500\n"
                                 "Plain\n600\n700\nPlain\n1500\n-1\nPlain\n2000\n2100\n",
                                 {testFamily<Entry>("Plain")});
    std::vector<ShowEntry> entries = describeEntries(*show, show->scriptText());
    EXPECT_EQ(packRows(entries), 3);
    std::vector<int> rows;
    for (const ShowEntry& entry : entries)
        rows.push_back(entry.row);
    // Touching entries share a row; the endless one blocks its row for good.
    EXPECT_EQ(rows, (std::vector<int>{0, 0, 1, 2, 1, 0}));
}

TEST(TimelineStrip, EntriesKnowTheirScriptLineAndExtraLines) {
    const std::string script = "# a show\nm.ogg\n0\n3\n"
                               "Tunnel\n0\n100\n"
                               "# comment between\n"
                               "ShaderShow\n100\n200\ndata/a.fs\r\n# comment within\ndata/b.jpg\n"
                               "Tunnel\n200\n300\n\n\n";
    const std::vector<EffectFamily> families = {
        testFamily<Entry>("Tunnel"),
        testFamily<Entry>("ShaderShow", {{false, "the shader"}, {false, "the image"}})};
    ShowOptions options;
    options.rules.families = families;
    const std::unique_ptr<Show> show = readShow(script, options);
    const std::vector<ShowEntry> entries = describeEntries(*show, script);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].line, 5);
    EXPECT_TRUE(entries[0].extraLines.empty());
    EXPECT_EQ(entries[1].line, 9);
    EXPECT_EQ(entries[1].startLine, 10);
    EXPECT_EQ(entries[1].lastLine, 14);
    EXPECT_EQ(entries[1].extraLines, (std::vector<std::string>{"data/a.fs", "data/b.jpg"}));
    EXPECT_EQ(entries[2].line, 15);
    EXPECT_EQ(entries[2].lastLine, 17);
    EXPECT_TRUE(entries[2].extraLines.empty());
    EXPECT_EQ(entries[1].start, 100u);
    EXPECT_EQ(entries[1].end, 200u);
    EXPECT_EQ(show->keywords(), (std::vector<std::string>{"Tunnel", "ShaderShow", "Tunnel"}));
}

// From 640 x 480 up the panels (and the reload error's) lie inside the window without overlapping,
// and at 640 x 480 cover at most 40 % of it.
TEST(OverlayLayout, PanelsFitTheWindowSideBySide) {
    const std::pair<int, int> sizes[] = {{640, 480},  {800, 600},   {1024, 768},
                                         {1280, 720}, {1920, 1080}, {3840, 2160}};
    for (const auto& [width, height] : sizes) {
        const OverlayLayout layout = overlayLayout(width, height);
        const OverlayRect panels[] = {layout.clock, layout.reloadError, layout.tweaks,
                                      layout.timeline};
        for (size_t i = 0; i < std::size(panels); ++i) {
            const OverlayRect& a = panels[i];
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.width <= width &&
                        a.y + a.height <= height && a.width > 100 && a.height > 40)
                << "panel " << i << " at " << width << "x" << height;
            for (size_t j = i + 1; j < std::size(panels); ++j) {
                const OverlayRect& b = panels[j];
                EXPECT_TRUE(a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
                            b.y + b.height <= a.y)
                    << "panels " << i << " and " << j << " overlap at " << width << "x" << height;
            }
        }
    }
    const OverlayLayout small = overlayLayout(640, 480);
    float covered = 0;
    for (const OverlayRect& panel : {small.clock, small.tweaks, small.timeline})
        covered += panel.width * panel.height;
    EXPECT_LE(covered, 0.4f * 640 * 480);
}

TEST(FrameStats, MeanAndPercentileOfTheLastFrames) {
    FrameTimes times;
    for (int i = 0; i < 100; ++i)
        times.add(i < 95 ? 10.0f : 50.0f);
    EXPECT_FLOAT_EQ(times.mean(), 12.0f);
    EXPECT_FLOAT_EQ(times.percentile95(), 10.0f);
    times.add(50.0f); // 6 slow frames out of 101
    EXPECT_FLOAT_EQ(times.percentile95(), 50.0f);
    for (size_t i = 0; i < FrameTimes::capacity; ++i)
        times.add(20.0f);
    EXPECT_EQ(times.count(), FrameTimes::capacity);
    EXPECT_FLOAT_EQ(times.mean(), 20.0f) << "older frames should have left the history";
    EXPECT_FLOAT_EQ(times.chronological()[0], 20.0f);
}

TEST(FileWatcher, SeesWritesAndReplacementsOfWatchedFilesOnly) {
    TempDir folder;
    const std::string watched = folder.file("data/demo.txt");
    writeTextFile(watched, "one\n");
    writeTextFile(folder.file("data/other.txt"), "other\n");
    FileWatcher watcher;
    watcher.watch({watched});
    auto changed = [&](std::string* file = nullptr) {
        for (int i = 0; i < 100; ++i) {
            if (watcher.takeChange(file))
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    writeTextFile(folder.file("data/other.txt"), "changed\n");
    EXPECT_FALSE(changed()) << "a file that is not watched";
    writeTextFile(watched, "two\n");
    std::string file;
    EXPECT_TRUE(changed(&file)) << "written in place";
    EXPECT_EQ(std::filesystem::path(file).filename(), "demo.txt");
    writeTextFile(folder.file("data/.demo.txt.swp"), "three\n");
    std::filesystem::rename(folder.file("data/.demo.txt.swp"), watched);
    EXPECT_TRUE(changed()) << "replaced by a rename";
    EXPECT_FALSE(watcher.takeChange()) << "one change is reported once";
    // Saved while a reload ran, before the reload named it for watching.
    watcher.holdChanges();
    writeTextFile(folder.file("data/shader.fs"), "new\n");
    std::this_thread::sleep_for(100ms);
    watcher.watch({watched, folder.file("data/shader.fs")});
    EXPECT_TRUE(watcher.takeChange()) << "a change made while holding was lost";
}

} // namespace
