#pragma once
// The tempo of music, found from its sound, and its bar: the beat a listener taps (from
// minDetectedBpm to maxDetectedBpm), how many beats a bar holds, where the first bar starts, and
// how sure that is. Works on onset envelopes (audio/OnsetEnvelopes.h): the beat period comes from
// how the onsets repeat, the level of the beat among its multiples and divisions from where the
// kick and the snare fall and how the onsets lie between the beats, the bar from the repetitions
// a bar apart, its first beat from where the bass and the chords change.

#include <optional>
#include <span>

inline constexpr double minDetectedBpm = 55;
inline constexpr double maxDetectedBpm = 215;

struct DetectedTempo {
    double bpm = 0;
    double firstBeatSeconds = 0; // a beat of the grid: within the first beat, or a little before 0
    int beatsPerBar = 4;
    // The beat divides in three (6/8, 12/8): `bpm` counts the dotted quarters.
    bool compound = false;
    // The first bar's first beat: a beat of the grid within the first bar, or a little before 0.
    double firstBarSeconds = 0;
    // From 0 to 1: how clearly the music holds this beat. Below unsureBelow, the grid is a guess.
    double confidence = 0;
    // The beat that fits the start of the music fits its later part badly: its tempo changes.
    bool tempoChanges = false;

    static constexpr double unsureBelow = 0.5;
    bool unsure() const { return confidence < unsureBelow || tempoChanges; }
};

// From mono samples at the rate given; none for music too short (under four beats at the
// slowest tempo) or silent. Allocates about one float per 40 samples; safe on any thread.
std::optional<DetectedTempo> detectTempo(std::span<const float> mono, int sampleRate);
