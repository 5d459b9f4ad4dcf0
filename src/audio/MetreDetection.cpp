#include "audio/MetreDetection.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Whether the beat divides in three: the onsets a third and two thirds into the beats against
// those halfway, over what the grid meets anywhere.
bool dividesInThree(const GridFit& fit, double period, double firstBeat) {
    const float mean = fit.mean();
    const float halves = fit(period, wrapped(firstBeat + period / 2, period)) - mean;
    const float thirds = (fit(period, wrapped(firstBeat + period / 3, period)) +
                          fit(period, wrapped(firstBeat + 2 * period / 3, period))) /
                             2 -
                         mean;
    return thirds > 0.1f * mean && thirds > 1.5f * std::max(halves, 0.0f);
}

// How strongly the music repeats a bar of `beats`: at one bar and at two.
float barStrength(const std::vector<float>& correlation, double period, int beats) {
    const double bar = beats * period;
    float strength = correlationNear(correlation, bar, 0.01);
    if (2 * bar < double(correlation.size()))
        strength += 0.5f * correlationNear(correlation, 2 * bar, 0.01);
    return strength;
}

// Which beat of the bar is its first: the one where the bass and kick (the low band) and the
// onsets overall are strongest, a bar apart. As for the beat, music starts on a bar's first beat
// far more often than elsewhere: the beat of the first strong onset is taken where it is about
// as strong as the strongest.
int firstBeatOfBar(const OnsetEnvelopes& wide, double period, double firstBeat, int beats,
                   double firstOnset) {
    const double bar = beats * period;
    const double lowMean = std::max(1e-9, meanOf(wide.low));
    const double allMean = std::max(1e-9, meanOf(wide.all));
    int best = 0, onset = 0;
    double strongest = -1;
    std::vector<double> strengths;
    for (int beat = 0; beat < beats; ++beat) {
        const double phase = wrapped(firstBeat + beat * period, bar);
        const double strength = combMean(wide.low, bar, phase) / lowMean +
                                0.5 * combMean(wide.all, bar, phase) / allMean;
        strengths.push_back(strength);
        if (strength > strongest) {
            strongest = strength;
            best = beat;
        }
        if (firstBeat + beat * period <= firstOnset + period / 2)
            onset = beat;
    }
    return strengths[size_t(onset)] >= 0.8 * strongest ? onset : best;
}

} // namespace

Metre detectMetre(const OnsetEnvelopes& wide, const std::vector<float>& correlation, double period,
                  double firstBeat, double firstOnset) {
    Metre metre;
    const GridFit fit(wide);
    metre.compound = dividesInThree(fit, period, firstBeat);
    // Four beats unless another count repeats clearly more strongly. Two beats a bar repeat
    // at four too, and are read as four.
    float best = barStrength(correlation, period, 4) + 0.05f;
    for (const int beats : {3, 5, 6, 7}) {
        const float strength = barStrength(correlation, period, beats);
        if (strength > best) {
            best = strength;
            metre.beatsPerBar = beats;
        }
    }
    const int first = firstBeatOfBar(wide, period, firstBeat, metre.beatsPerBar, firstOnset);
    metre.firstBar = firstBeat + first * period;
    return metre;
}

double beatConfidence(const OnsetEnvelopes& wide, const std::vector<BeatLevel>& levels,
                      double period, double phase) {
    const GridFit fit(wide);
    const double contrast = fit(period, phase) / std::max(1e-9f, fit.mean()) - 1;
    double rival = 0;
    for (size_t i = 1; i < levels.size(); ++i) {
        const double ratio = levels[i].period / levels.front().period;
        const bool octave = std::abs(ratio - 2) < 0.04 || std::abs(ratio - 0.5) < 0.01 ||
                            std::abs(ratio - 1) < 0.02;
        if (!octave)
            rival = std::max(rival, double(levels[i].score / levels.front().score));
    }
    return std::clamp(contrast, 0.0, 1.0) * (rival > 0.97 ? 0.5 : 1.0);
}
