// Tempo detection on real drum loops (LMMS's sample beats, installed by tools/setup.sh), each one
// played eight times over as a loop is used (the true tempo follows from the loop's length and
// its number of beats, and every loop starts on a beat), and on real compositions whose tempo is
// exact: a minute of MIDI files of Debian packages, rendered in the build (tests/data).
#include "audio/TempoDetection.h"
#include "audio/AudioDecoder.h"
#include "audio/MusicStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace {

const char* const loopFolder = "/usr/share/lmms/samples/beats/";

// What detection gets right for a loop.
enum Expect { TempoAndFirstBeat, TempoOnly };

struct Loop {
    const char* file;
    int beats;
    Expect expect;
};

// Four-on-the-floor kicks, breakbeats whose kick falls on beats 1 and 3 (break02) or whose
// loudest hit is off the beat (break01), a kick that swells 40 ms after the hats (break03),
// jungle whose hits run 3 % slower than the loop repeats (jungle01), and the layers of a rave
// loop at 180 BPM. In rave_hihat02, hats alone, the hats between the beats rise more than those
// on them: nothing tells the beat from the off-beat, and the grid lands between the beats.
constexpr Loop loops[] = {
    {"909beat01.ogg", 8, TempoAndFirstBeat},      {"electro_beat01.ogg", 8, TempoAndFirstBeat},
    {"electro_beat02.ogg", 4, TempoAndFirstBeat}, {"house_loop01.ogg", 4, TempoAndFirstBeat},
    {"jungle01.ogg", 8, TempoAndFirstBeat},       {"break01.ogg", 4, TempoAndFirstBeat},
    {"break02.ogg", 4, TempoAndFirstBeat},        {"break03.ogg", 4, TempoAndFirstBeat},
    {"rave_kick01.ogg", 8, TempoAndFirstBeat},    {"rave_kick02.ogg", 8, TempoAndFirstBeat},
    {"rave_snare01.ogg", 8, TempoAndFirstBeat},   {"rave_hihat01.ogg", 8, TempoAndFirstBeat},
    {"rave_hihat02.ogg", 8, TempoOnly},
};

std::vector<float> repeated(std::span<const float> loop, int times) {
    std::vector<float> music;
    for (int i = 0; i < times; ++i)
        music.insert(music.end(), loop.begin(), loop.end());
    return music;
}

TEST(TempoDetection, FindsTheTempoAndFirstBeatOfRealDrumLoops) {
    if (!std::filesystem::exists(loopFolder))
        GTEST_SKIP() << loopFolder << " is missing: tools/setup.sh installs lmms-common";
    for (const Loop& loop : loops) {
        SCOPED_TRACE(loop.file);
        const MusicSamples samples =
            decodeAudioFile(std::string(loopFolder) + loop.file, maxMusicFrames, false);
        const double truth = loop.beats * 60.0 * musicSampleRate / double(samples.frames());
        const std::vector<float> music = repeated(samples.mono(), 8);
        const std::optional<DetectedTempo> tempo = detectTempo(music, musicSampleRate);
        ASSERT_TRUE(tempo);
        const double beatMs = 60000 / truth;
        const double firstMs = tempo->firstBeatSeconds * 1000;
        std::printf("%-20s true %7.2f BPM, detected %7.2f BPM (%+.2f %%), first beat %.1f ms\n",
                    loop.file, truth, tempo->bpm, 100 * (tempo->bpm / truth - 1), firstMs);
        EXPECT_NEAR(tempo->bpm, truth, truth * 0.01);
        if (loop.expect == TempoAndFirstBeat) {
            EXPECT_LT(std::abs(firstMs), 20.0) << "a beat lasts " << beatMs << " ms";
        }
    }
}

// A row of tests/data/reference-music.tsv.
struct Reference {
    std::string name, package, midi;
    double bpm = 0;
    int beatsPerBar = 0;
    double firstBarMs = 0;
    std::string holds, what;
};

std::vector<Reference> referenceTable() {
    std::ifstream file(MORVELDAN_SOURCE_DIR "/tests/data/reference-music.tsv");
    std::vector<Reference> table;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Reference row;
        std::string bpm, beats, firstBar;
        std::getline(fields, row.name, '\t');
        std::getline(fields, row.package, '\t');
        std::getline(fields, row.midi, '\t');
        std::getline(fields, bpm, '\t');
        std::getline(fields, beats, '\t');
        std::getline(fields, firstBar, '\t');
        std::getline(fields, row.holds, '\t');
        std::getline(fields, row.what);
        row.bpm = std::stod(bpm);
        row.beatsPerBar = std::stoi(beats);
        row.firstBarMs = std::stod(firstBar);
        table.push_back(row);
    }
    return table;
}

// How far a time lies from the nearest point of a grid of the period through `on`.
double offGrid(double time, double on, double period) {
    const double within = std::fmod(std::fmod(time - on, period) + period, period);
    return std::min(within, period - within);
}

TEST(TempoDetection, FindsTheBeatAndBarOfRealCompositions) {
    const std::vector<Reference> table = referenceTable();
    ASSERT_GE(table.size(), 10u);
    std::set<std::string> missing;
    for (const Reference& row : table)
        if (!std::filesystem::exists(row.midi))
            missing.insert(row.package);
    if (!missing.empty()) {
        std::string names;
        for (const std::string& package : missing)
            names += " " + package;
        GTEST_SKIP() << "MIDI files missing; tools/setup.sh installs their packages:" << names;
    }
    for (const Reference& row : table) {
        SCOPED_TRACE(row.name + " (" + row.what + ")");
        const std::string rendered = "tests/reference-music/" + row.name + ".wav";
        ASSERT_TRUE(std::filesystem::exists(rendered))
            << rendered << " was not rendered: are fluidsynth and fluid-soundfont-gm installed?";
        const MusicSamples samples = decodeAudioFile(rendered, maxMusicFrames, false);
        const std::optional<DetectedTempo> tempo = detectTempo(samples.mono(), musicSampleRate);
        ASSERT_TRUE(tempo);
        const double beatMs = 60000 / row.bpm;
        const double beatOff = offGrid(tempo->firstBeatSeconds * 1000, row.firstBarMs, beatMs);
        const double barOff =
            offGrid(tempo->firstBarSeconds * 1000, row.firstBarMs, beatMs * row.beatsPerBar);
        std::printf("%-12s true %7.2f BPM %d/bar, found %7.2f BPM (%+6.2f %%) %d/bar, beat off "
                    "%6.1f ms, bar off %6.1f ms, confidence %.2f%s\n",
                    row.name.c_str(), row.bpm, row.beatsPerBar, tempo->bpm,
                    100 * (tempo->bpm / row.bpm - 1), tempo->beatsPerBar, beatOff, barOff,
                    tempo->confidence, tempo->tempoChanges ? ", tempo changes" : "");
        if (row.holds == "unsure") {
            EXPECT_TRUE(tempo->unsure());
            continue;
        }
        EXPECT_NEAR(tempo->bpm, row.bpm, row.bpm * 0.01);
        if (row.holds == "changes") {
            EXPECT_TRUE(tempo->tempoChanges);
            continue;
        }
        EXPECT_LT(beatOff, 20.0);
        if (row.holds == "grid") {
            EXPECT_EQ(tempo->beatsPerBar, row.beatsPerBar);
            EXPECT_LT(barOff, 20.0);
        }
    }
}

// The default show's music: 128 BPM, its first beat at 0.
TEST(TempoDetection, FindsTheDefaultMusicsTempo) {
    const MusicSamples samples = decodeAudioFile("data/music.ogg", maxMusicFrames, false);
    const std::optional<DetectedTempo> tempo = detectTempo(samples.mono(), musicSampleRate);
    ASSERT_TRUE(tempo);
    EXPECT_NEAR(tempo->bpm, 128.0, 1.28);
    EXPECT_NEAR(tempo->firstBeatSeconds, 0.0, 0.02);
    EXPECT_EQ(tempo->beatsPerBar, 4);
    EXPECT_NEAR(tempo->firstBarSeconds, 0.0, 0.02);
    EXPECT_FALSE(tempo->unsure());
}

TEST(TempoDetection, FindsNothingInSilenceOrTooShortAStretchAndIsUnsureOfNoise) {
    EXPECT_FALSE(detectTempo(std::vector<float>(musicSampleRate * 10, 0.0f), musicSampleRate));
    std::vector<float> clicks(musicSampleRate, 0.0f); // one second: under four slow beats
    for (size_t i = 0; i < clicks.size(); i += musicSampleRate / 2)
        clicks[i] = 1;
    EXPECT_FALSE(detectTempo(clicks, musicSampleRate));
    EXPECT_FALSE(detectTempo({}, musicSampleRate));
    std::vector<float> noise(size_t(musicSampleRate) * 20);
    uint32_t state = 1;
    for (float& sample : noise) {
        state = state * 1664525u + 1013904223u;
        sample = float(state >> 8) / float(1 << 24) - 0.5f;
    }
    const std::optional<DetectedTempo> tempo = detectTempo(noise, musicSampleRate);
    EXPECT_TRUE(!tempo || tempo->unsure()) << tempo->bpm;
}

} // namespace
