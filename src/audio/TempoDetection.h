#pragma once
// The tempo of music, found from its sound: an onset envelope (the rise of the energy in three
// frequency bands), then the beat period and phase whose comb of beats lines up with the most
// onsets over the whole piece. Tempi are reported within one octave, from minDetectedBpm up to
// twice that: music slower or faster reads at double or half its tempo.

#include <optional>
#include <span>

inline constexpr double minDetectedBpm = 95;
inline constexpr double maxDetectedBpm = 2 * minDetectedBpm;

struct DetectedTempo {
    double bpm = 0;
    double firstBeatSeconds = 0; // a beat of the grid: within the first beat, or a little before 0
};

// From mono samples at the rate given; none for music too short (under four beats at the
// slowest tempo) or silent. Allocates about one float per 128 samples; safe on any thread.
std::optional<DetectedTempo> detectTempo(std::span<const float> mono, int sampleRate);
