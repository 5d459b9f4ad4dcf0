#pragma once
// Onset envelopes of music: per hop of about 3 ms, how much the log energy rose in a low (kick,
// bass), a middle (snare, voice, chords) and a high band (hats), and tools to read them as grids
// of beats. Tempo, metre and downbeat detection stand on these.

#include <span>
#include <vector>

struct OnsetEnvelopes {
    double rate = 0; // values a second
    std::vector<float> all, low, mid;

    size_t size() const { return all.size(); }
};

// A hop of about 128 samples at 44.1 kHz; no values for a rate of 0 or less.
OnsetEnvelopes onsetEnvelopes(std::span<const float> mono, int sampleRate);

// The envelope smoothed by a triangle `radius` values each side.
std::vector<float> widened(const std::vector<float>& envelope, int radius);
OnsetEnvelopes widened(const OnsetEnvelopes& envelopes, int radius);

// The value at a fractional index, linearly interpolated; 0 outside.
float sampleAt(const std::vector<float>& values, double at);

// The mean of the envelope on the points phase + n * period within [from, to) (values).
float combMean(const std::vector<float>& envelope, double period, double phase, double from = 0,
               double to = 1e300);

// The autocorrelation of the envelope less its mean, lag 0 to `longest`, over lag 0's.
std::vector<float> autocorrelation(const std::vector<float>& envelope, size_t longest);

// The largest autocorrelation within a relative `tolerance` of a lag, which need not be whole.
float correlationNear(const std::vector<float>& correlation, double lag, double tolerance);

// The mean of the values.
double meanOf(const std::vector<float>& values);

// How well a beat grid of a period and phase meets the onsets, those of the low band (the kick,
// the bass) counting half as much as all the bands together.
class GridFit {
public:
    explicit GridFit(const OnsetEnvelopes& envelopes);

    float operator()(double period, double phase, double from = 0, double to = 1e300) const;

    struct Best {
        double phase = 0;
        float fit = -1;
    };
    // The best phase from `from` to `to` (either may lie outside one period), in steps of `step`.
    Best bestPhase(double period, double from, double to, double step) const;
    // What a grid meets on average, wherever it lies.
    float mean() const { return mean_; }

private:
    const OnsetEnvelopes& envelopes_;
    float lowWeight_;
    float mean_;
};

// The phase taken into [0, period).
double wrapped(double phase, double period);
