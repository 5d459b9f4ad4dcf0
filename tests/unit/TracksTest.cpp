#include "platform/Error.h"
#include "timeline/TrackNames.h"
#include "tracks/Track.h"
#include "tracks/TracksFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

Track twoKeys(Interpolation interpolation) {
    Track track;
    track.keys = {{1000, 2.0f, interpolation}, {2000, 6.0f, Interpolation::Step}};
    return track;
}

TEST(TrackValues, InterpolationsBetweenAndAroundKeys) {
    struct Case {
        Interpolation interpolation;
        uint32_t time;
        float value;
    };
    const Case cases[] = {
        {Interpolation::Step, 0, 2.0f},      {Interpolation::Step, 1000, 2.0f},
        {Interpolation::Step, 1999, 2.0f},   {Interpolation::Step, 2000, 6.0f},
        {Interpolation::Step, 90000, 6.0f},  {Interpolation::Linear, 1250, 3.0f},
        {Interpolation::Linear, 1500, 4.0f}, {Interpolation::Smooth, 1250, 2.625f},
        {Interpolation::Smooth, 1500, 4.0f}, {Interpolation::Smooth, 1750, 5.375f},
        {Interpolation::Ramp, 1500, 3.0f},   {Interpolation::Ramp, 1750, 4.25f},
        {Interpolation::Ramp, 2000, 6.0f},   {Interpolation::Linear, 500, 2.0f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(twoKeys(c.interpolation).valueAt(c.time), c.value)
            << interpolationName(c.interpolation) << " at " << c.time;
    EXPECT_EQ(Track().valueAt(5), 0.0f);
}

TEST(TrackValues, TimesNearTheEndOfTheRangeDoNotOverflow) {
    Track track;
    track.keys = {{0, 0.0f, Interpolation::Linear}, {4294967295u, 1.0f, Interpolation::Step}};
    EXPECT_NEAR(track.valueAt(2147483648u), 0.5f, 1e-6f);
    EXPECT_EQ(track.valueAt(4294967295u), 1.0f);
}

TEST(TrackSet, KeysAreSetReplacedAndDeletedInTimeOrder) {
    TrackSet set;
    set.setKey("glow", {2000, 1.0f, Interpolation::Linear});
    set.setKey("glow", {1000, 0.5f, Interpolation::Step});
    set.setKey("glow", {2000, 3.0f, Interpolation::Ramp}); // replaces
    set.setKey("alpha", {0, 1.0f, Interpolation::Step});
    ASSERT_EQ(set.tracks().size(), 2u);
    EXPECT_EQ(set.tracks()[0].name, "alpha"); // sorted by name
    const Track& glow = *set.find("glow");
    ASSERT_EQ(glow.keys.size(), 2u);
    EXPECT_EQ(glow.keys[0].time, 1000u);
    EXPECT_EQ(glow.keys[1].value, 3.0f);
    EXPECT_EQ(glow.keyBefore(2000)->time, 1000u);
    EXPECT_EQ(glow.keyAfter(1000)->time, 2000u);
    EXPECT_EQ(glow.keyAfter(2000), nullptr);
    EXPECT_NE(glow.keyAt(1000), nullptr);

    const uint64_t revision = set.revision();
    EXPECT_FALSE(set.deleteKey("glow", 1500));
    EXPECT_TRUE(set.deleteKey("glow", 1000));
    EXPECT_EQ(set.revision(), revision); // a key less is no track less
    EXPECT_TRUE(set.deleteKey("glow", 2000));
    EXPECT_EQ(set.find("glow"), nullptr);
    EXPECT_NE(set.revision(), revision);
}

TEST(TrackNames, EntryValuesAndFreeNames) {
    EXPECT_EQ(entryTrackName("NanoBall", 12000, "Light pos", 'x'), "NanoBall@12000/Light pos.x");
    EXPECT_EQ(entryTrackName("ChaosZoomer", 4294967295u, "FogNear"),
              "ChaosZoomer@4294967295/FogNear");
    EXPECT_TRUE(isEntryTrackName("NanoBall@12000/Light pos.x"));
    for (const char* name : {"glow_2", "iMouse.w", "tint.r"})
        EXPECT_TRUE(isFreeTrackName(name)) << name;
    for (const char* name : {"", "2glow", "glow-2", "a b", "NanoBall@x/Light", "@12/x", "tint.q",
                             "tint.", ".x", "a.b.x"}) {
        EXPECT_FALSE(isFreeTrackName(name)) << name;
        EXPECT_FALSE(isEntryTrackName(name)) << name;
    }
}

TEST(TracksFile, WritesAndReadsBackTheSameTracks) {
    TrackSet set;
    set.setKey("NanoBall@12000/Light pos.x", {12000, 0.1f, Interpolation::Smooth});
    set.setKey("NanoBall@12000/Light pos.x", {14000, -1e-7f, Interpolation::Ramp});
    set.setKey("glow", {0, 3.3333333f, Interpolation::Linear});
    set.setKey("glow", {4294967295u, 1e30f, Interpolation::Step});
    const std::string text = writeTracks(set);
    const TracksReading reading = readTracks(text, "demo.tracks");
    EXPECT_TRUE(reading.errors.empty()) << reading.errors.front();
    ASSERT_EQ(reading.tracks.tracks().size(), 2u);
    for (const Track& track : set.tracks()) {
        const Track* read = reading.tracks.find(track.name);
        ASSERT_NE(read, nullptr) << track.name;
        ASSERT_EQ(read->keys.size(), track.keys.size());
        for (size_t i = 0; i < track.keys.size(); ++i) {
            EXPECT_EQ(read->keys[i].time, track.keys[i].time);
            EXPECT_EQ(read->keys[i].value, track.keys[i].value); // bit for bit
            EXPECT_EQ(read->keys[i].interpolation, track.keys[i].interpolation);
        }
    }
    EXPECT_EQ(writeTracks(reading.tracks), text);
}

TEST(TracksFile, HandWrittenFormsRead) {
    const TracksReading reading = readTracks("# a comment\r\n\n  track   glow  \r\n"
                                             "0 1\n\t500   2.5e0  linear  \n",
                                             "t");
    EXPECT_TRUE(reading.errors.empty());
    const Track* glow = reading.tracks.find("glow");
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->line, 3);
    EXPECT_EQ(glow->keys[0].interpolation, Interpolation::Step); // left out
    EXPECT_EQ(glow->keys[1].value, 2.5f);
}

TEST(TracksFile, EveryFaultIsListedWithItsLine) {
    const std::string text = "0 1\n"             // 1: no track yet
                             "track good\n"      // 2
                             "0 1 linear\n"      // 3
                             "track a\n"         // 4
                             "100 1\n"           // 5
                             "100 2\n"           // 6: not after
                             "track b\n"         // 7
                             "-5 x wobble\n"     // 8: time, value, interpolation
                             "track c\n"         // 9
                             "1 nan\n"           // 10
                             "2 1 step more\n"   // 11
                             "track good\n"      // 12: twice
                             "0 1\n"             // 13
                             "track\n"           // 14: no name
                             "track has space\n" // 15
                             "0 1\n"             // 16
                             "track empty\n"     // 17: no keys
                             "track d\n"         // 18
                             "99999999999 1\n";  // 19: beyond 32 bits
    const TracksReading reading = readTracks(text, "data/demo.tracks");
    const std::vector<std::string> expected = {
        "data/demo.tracks:1: a key line before any 'track NAME' line",
        "data/demo.tracks:6: time 100 is not after the previous key's time 100",
        "data/demo.tracks:8: bad time '-5': milliseconds from 0 to 4294967295",
        "data/demo.tracks:8: bad value 'x': a finite number",
        "data/demo.tracks:8: bad interpolation 'wobble': step, linear, smooth or ramp",
        "data/demo.tracks:10: bad value 'nan': a finite number",
        "data/demo.tracks:11: a key line is: TIME VALUE [step|linear|smooth|ramp]",
        "data/demo.tracks:12: the track 'good' is named a second time (first at line 2)",
        "data/demo.tracks:14: a track line needs the track's name: track NAME",
        "data/demo.tracks:15: 'has space' is not a track name: an entry's value "
        "(KEYWORD@START/VALUE, with .x, .y, ... for a component) or a name of letters, digits "
        "and '_' (with .x, .y, ... for a component)",
        "data/demo.tracks:17: the track 'empty' has no keys",
        "data/demo.tracks:19: bad time '99999999999': milliseconds from 0 to 4294967295",
    };
    EXPECT_EQ(reading.errors, expected);
    // Only the faultless track plays.
    ASSERT_EQ(reading.tracks.tracks().size(), 1u);
    EXPECT_EQ(reading.tracks.tracks()[0].name, "good");

    // A file of nothing but faults is read only up to a limit.
    std::string faults = "track t\n";
    for (int line = 0; line < 100000; ++line)
        faults += "x\n";
    const TracksReading flood = readTracks(faults, "f");
    ASSERT_EQ(flood.errors.size(), maxTracksErrors + 1);
    EXPECT_EQ(flood.errors.back(), "f:101: 100 faults: the rest of the file is not read");

    // A line of three faults that crosses the limit adds only those up to it.
    std::string crossing = "track t\n";
    for (int line = 0; line < 99; ++line)
        crossing += "x\n";
    crossing += "-1 x wobble\n-1 x wobble\n";
    const TracksReading crossed = readTracks(crossing, "f");
    ASSERT_EQ(crossed.errors.size(), maxTracksErrors + 1);
    EXPECT_EQ(crossed.errors[maxTracksErrors - 1], "f:101: bad time '-1': milliseconds from 0 to "
                                                   "4294967295");
    EXPECT_EQ(crossed.errors.back(), "f:101: 100 faults: the rest of the file is not read");
}

TEST(TracksFile, BeatLinesReadWriteBackAndAFaultyOneLeavesTheTrackAlone) {
    const TracksReading reading =
        readTracks("track glow\n0 1\nbeat auto\n500 2\nbeat gain 1.5\nbeat\nbeat gain 0\n"
                   "beat gain x\nbeat loud\n",
                   "t");
    const std::vector<std::string> expected(
        4, "a beat line is: beat auto, or beat gain G (a number above 0)");
    ASSERT_EQ(reading.errors.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(reading.errors[i], "t:" + std::to_string(6 + i) + ": " + expected[i]);
    EXPECT_EQ(reading.tracks.beat(), (BeatSetting{true, 1.5f}));
    ASSERT_NE(reading.tracks.find("glow"), nullptr);
    EXPECT_EQ(reading.tracks.find("glow")->keys.size(), 2u);

    const std::string text = writeTracks(reading.tracks);
    EXPECT_NE(text.find("\nbeat auto\nbeat gain 1.5\n"), std::string::npos) << text;
    EXPECT_EQ(readTracks(text, "t").tracks.beat(), reading.tracks.beat());
    // Without beat lines the file has none.
    EXPECT_EQ(writeTracks(TrackSet()).find("beat"), std::string::npos);
}

// The tempo line: its forms, its faults (which leave the tracks around it alone), and a save
// that keeps it.
TEST(TracksFile, TempoLine) {
    const TracksReading full = readTracks("track glow\n0 1\ntempo 128 3 250.5\n10 2\n", "t");
    EXPECT_TRUE(full.errors.empty());
    ASSERT_TRUE(full.tracks.tempo);
    EXPECT_EQ(full.tracks.tempo->bpm, 128);
    EXPECT_EQ(full.tracks.tempo->beatsPerBar, 3);
    EXPECT_EQ(full.tracks.tempo->firstBeatMs, 250.5);
    EXPECT_EQ(full.tracks.tempo->line, 3);
    EXPECT_EQ(full.tracks.find("glow")->keys.size(), 2u); // the tempo line is no key of glow
    const TracksReading back = readTracks(writeTracks(full.tracks), "t");
    ASSERT_TRUE(back.tracks.tempo);
    EXPECT_EQ(back.tracks.tempo->bpm, 128);
    EXPECT_EQ(back.tracks.tempo->beatsPerBar, 3);
    EXPECT_EQ(back.tracks.tempo->firstBeatMs, 250.5);

    const TracksReading bare = readTracks("tempo 90.5\n", "t");
    ASSERT_TRUE(bare.tracks.tempo);
    EXPECT_EQ(bare.tracks.tempo->beatsPerBar, 4);
    EXPECT_EQ(bare.tracks.tempo->firstBeatMs, 0);

    const TracksReading faults =
        readTracks("tempo\ntempo 0\ntempo 120 0\ntempo 120 4 -5\ntempo 120 4 0 9\ntempo 120\n"
                   "track glow\n0 1\ntempo 100\n",
                   "t");
    const std::vector<std::string> expected = {
        "t:1: a tempo line is: tempo BPM [BEATS_PER_BAR [FIRST_BEAT_MS]]",
        "t:2: tempo 0 BPM: from 1 to 1000",
        "t:3: 0 beats a bar: from 1 to 64",
        "t:4: the first beat's time is not before 0 ms",
        "t:5: a tempo line is: tempo BPM [BEATS_PER_BAR [FIRST_BEAT_MS]]",
        "t:9: a second tempo line (the first is at line 6)",
    };
    EXPECT_EQ(faults.errors, expected);
    EXPECT_NE(faults.tracks.find("glow"), nullptr);
}

TEST(TracksFile, SavesAtomicallyAndReadsFromDisk) {
    const TempDir dir;
    const std::string path = dir.file("demo.tracks");
    EXPECT_TRUE(readTracksFile(path).tracks.empty()); // no file: no tracks, no errors
    EXPECT_TRUE(readTracksFile(path).errors.empty());
    TrackSet set;
    set.setKey("glow", {10, 0.25f, Interpolation::Smooth});
    saveTracksFile(path, set);
    EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
    const TracksReading reading = readTracksFile(path);
    ASSERT_NE(reading.tracks.find("glow"), nullptr);
    EXPECT_EQ(reading.tracks.find("glow")->keys[0].value, 0.25f);
    EXPECT_THROW(saveTracksFile(dir.file("missing/demo.tracks"), set), ShowError);
}

} // namespace

TEST(TrackNames, FloatUniformsAndNearMisses) {
    const std::vector<DeclaredUniform> uniforms =
        floatUniformsIn("uniform vec2 resolution;\n// uniform float gone;\n"
                        "uniform highp float glow; uniform float a, wave[4] ;\n"
                        "uniform float time; // uniform float hidden;\n",
                        "s.fs");
    std::vector<std::string> found;
    for (const DeclaredUniform& uniform : uniforms)
        found.push_back(uniform.name + "@" + uniform.file + ":" + std::to_string(uniform.line));
    EXPECT_EQ(found,
              (std::vector<std::string>{"glow@s.fs:3", "a@s.fs:3", "wave@s.fs:3", "time@s.fs:4"}));

    const struct {
        const char *a, *b;
        int distance;
    } cases[] = {{"Glow", "glow", 0}, {"glw", "glow", 1},    {"gloww", "glow", 1},
                 {"golw", "glow", 2}, {"GLOWS", "glo", 2},   {"glow", "glow", -1},
                 {"gl", "glow", 2},   {"flash", "glow", -1}, {"a", "b", -1},
                 {"ab", "cd", -1},    {"x", "xy", 1}};
    for (const auto& c : cases)
        EXPECT_EQ(nearMiss(c.a, c.b), c.distance) << c.a << " " << c.b;
}
