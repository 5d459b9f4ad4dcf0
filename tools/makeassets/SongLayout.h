#pragma once
// The form of the show's music: a fixed tempo in 4/4 and its sections, in bars. The music
// generator plays it, data/demo.txt is timed by it, and the beat tests measure it.

namespace song {

constexpr int sampleRate = 44100;
constexpr double beatsPerMinute = 128;
constexpr int beatsPerBar = 4;
constexpr double secondsPerBeat = 60.0 / beatsPerMinute;       // 0.46875 s
constexpr double secondsPerBar = secondsPerBeat * beatsPerBar; // 1.875 s

enum class Part {
    Intro, // quiet: pads and a soft arpeggio, no kick
    Build, // kick on every beat, rising noise and a snare roll
    Drop,  // everything: kick on every beat, bass, hats, claps, lead
    Break, // quiet: pads and the melody alone, no kick
    Outro, // quiet: pads fading out, no kick
};

struct Section {
    const char* name;
    Part part;
    int firstBar;
    int barCount;
};

constexpr Section sections[] = {
    {"intro", Part::Intro, 0, 8},       {"build-up 1", Part::Build, 8, 8},
    {"drop 1", Part::Drop, 16, 24},     {"break", Part::Break, 40, 16},
    {"build-up 2", Part::Build, 56, 8}, {"drop 2", Part::Drop, 64, 24},
    {"outro", Part::Outro, 88, 8},
};

constexpr int totalBars = 96; // 180 s

constexpr bool hasKicks(Part part) { return part == Part::Build || part == Part::Drop; }
constexpr double barSeconds(int bar) { return bar * secondsPerBar; }

} // namespace song
