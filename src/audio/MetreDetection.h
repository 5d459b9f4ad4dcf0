#pragma once
// The bar over a beat grid found in music (its beats a bar, whether the beat divides in three,
// where the bar starts) and how sure the grid is. Parts of tempo detection.

#include "audio/OnsetEnvelopes.h"

#include <vector>

// A beat period that the music's repetitions suggest, as detection weighs it.
struct BeatLevel {
    double period = 0; // in envelope values
    float strength = 0, score = 0;
};

struct Metre {
    int beatsPerBar = 4;
    bool compound = false;
    double firstBar = 0; // in envelope values: a beat of the grid, within the first bar
};

// `wide`: widened envelopes; `correlation`: the autocorrelation of all bands, reaching at least
// two bars of the slowest tempo; the beat grid's period, its first beat and the music's first
// strong onset, in envelope values.
Metre detectMetre(const OnsetEnvelopes& wide, const std::vector<float>& correlation, double period,
                  double firstBeat, double firstOnset);

// From 0 to 1: how far the grid's beats stand above the onsets between them, less where another
// tempo, not twice or half this one, is suggested about as strongly (`levels`, best first).
double beatConfidence(const OnsetEnvelopes& wide, const std::vector<BeatLevel>& levels,
                      double period, double phase);
