#include "audio/TempoDetection.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double envelopeRate = 344.5; // envelope values a second (a hop of 128 at 44.1 kHz)

// A one-pole low-pass filter.
class LowPass {
public:
    LowPass(double cutoff, int sampleRate)
        : share_(float(1 - std::exp(-2 * M_PI * cutoff / sampleRate))) {}
    float operator()(float in) { return held_ += share_ * (in - held_); }

private:
    float share_;
    float held_ = 0;
};

// The onset envelopes: per hop, how much the log energy rose in a low (kick), a middle (snare,
// voice) and a high band (hats); `all` sums the three, `low` is the first alone.
struct Envelopes {
    std::vector<float> all, low;
};

std::vector<float> smoothed(const std::vector<float>& envelope) {
    std::vector<float> smooth(envelope.size());
    for (size_t i = 0; i < envelope.size(); ++i) {
        const float before = i > 0 ? envelope[i - 1] : 0;
        const float after = i + 1 < envelope.size() ? envelope[i + 1] : 0;
        smooth[i] = 0.25f * before + 0.5f * envelope[i] + 0.25f * after;
    }
    return smooth;
}

Envelopes onsetEnvelopes(std::span<const float> mono, int sampleRate, int hop) {
    LowPass low1(150, sampleRate), low2(150, sampleRate), mid1(2500, sampleRate),
        mid2(2500, sampleRate);
    Envelopes envelopes;
    envelopes.all.reserve(mono.size() / size_t(hop) + 1);
    envelopes.low.reserve(envelopes.all.capacity());
    double previous[3] = {0, 0, 0};
    for (size_t start = 0; start + size_t(hop) <= mono.size(); start += size_t(hop)) {
        double energy[3] = {0, 0, 0};
        for (size_t i = start; i < start + size_t(hop); ++i) {
            const float x = mono[i];
            const float lowBand = low2(low1(x));
            const float belowHigh = mid2(mid1(x));
            const float bands[3] = {lowBand, belowHigh - lowBand, x - belowHigh};
            for (int band = 0; band < 3; ++band)
                energy[band] += double(bands[band]) * bands[band];
        }
        double rises[3];
        for (int band = 0; band < 3; ++band) {
            const double level = std::log1p(1e4 * energy[band] / hop);
            rises[band] = std::max(0.0, level - previous[band]);
            previous[band] = level;
        }
        envelopes.all.push_back(float(rises[0] + rises[1] + rises[2]));
        envelopes.low.push_back(float(rises[0]));
    }
    // A light smoothing, so that the fine search sees a slope rather than single spikes.
    envelopes.all = smoothed(envelopes.all);
    envelopes.low = smoothed(envelopes.low);
    return envelopes;
}

float sampleAt(const std::vector<float>& values, double at) {
    const size_t index = size_t(at);
    if (index >= values.size())
        return 0;
    const float share = float(at - double(index));
    const float next = index + 1 < values.size() ? values[index + 1] : 0;
    return values[index] * (1 - share) + next * share;
}

// The mean of the envelope on the beats of a grid: phase + n * period, for every n in the music.
float combMean(const std::vector<float>& envelope, double period, double phase) {
    double sum = 0;
    int count = 0;
    for (double at = phase; at < double(envelope.size()); at += period, ++count)
        sum += sampleAt(envelope, at);
    return count ? float(sum / count) : 0;
}

// The autocorrelation of the envelope less its mean, from lag 0 to `longest`, over lag 0's.
std::vector<float> autocorrelation(const std::vector<float>& envelope, size_t longest) {
    double mean = 0;
    for (const float value : envelope)
        mean += value;
    mean /= double(envelope.size());
    std::vector<float> centred(envelope.size());
    for (size_t i = 0; i < envelope.size(); ++i)
        centred[i] = float(envelope[i] - mean);
    std::vector<float> correlation(longest + 1);
    for (size_t lag = 0; lag <= longest && lag < centred.size(); ++lag) {
        double sum = 0;
        for (size_t i = lag; i < centred.size(); ++i)
            sum += double(centred[i]) * centred[i - lag];
        correlation[lag] = float(sum / double(centred.size() - lag));
    }
    if (correlation[0] > 0)
        for (float& value : correlation)
            value /= correlation[0];
    return correlation;
}

// How strongly the music repeats at the beat period, as a beat of a metre would: at the beat,
// at half of it, and at two and four beats (a half bar, a bar). A period that lines up with a
// pattern only by chance (five sixteenths, say) finds little at its multiples.
float metricalStrength(const std::vector<float>& correlation, double period) {
    return sampleAt(correlation, period / 2) + sampleAt(correlation, period) +
           sampleAt(correlation, 2 * period) + sampleAt(correlation, 4 * period);
}

// The phase of the beat grid: where its beats meet the most onsets, those of the low band (the
// kick) counting as much as all the bands together. Searched in steps of `phaseStep`.
double bestPhase(const Envelopes& envelopes, double period, double phaseStep, float* score) {
    double lowMean = 0, allMean = 0;
    for (size_t i = 0; i < envelopes.all.size(); ++i) {
        lowMean += envelopes.low[i];
        allMean += envelopes.all[i];
    }
    const float lowWeight = lowMean > 0 ? float(allMean / lowMean) : 0;
    double best = 0;
    *score = -1;
    for (double phase = 0; phase < period; phase += phaseStep) {
        const float fit = combMean(envelopes.all, period, phase) +
                          lowWeight * combMean(envelopes.low, period, phase);
        if (fit > *score) {
            *score = fit;
            best = phase;
        }
    }
    return best;
}

} // namespace

std::optional<DetectedTempo> detectTempo(std::span<const float> mono, int sampleRate) {
    if (sampleRate <= 0)
        return std::nullopt;
    const int hop = std::max(1, int(std::lround(sampleRate / envelopeRate)));
    const double rate = double(sampleRate) / hop;
    const Envelopes envelopes = onsetEnvelopes(mono, sampleRate, hop);
    const double shortest = 60 * rate / maxDetectedBpm, longest = 60 * rate / minDetectedBpm;
    if (double(envelopes.all.size()) < 4 * longest ||
        *std::max_element(envelopes.all.begin(), envelopes.all.end()) <= 0)
        return std::nullopt;
    // The period: the strongest metre in the autocorrelation, in tenths of a hop.
    const std::vector<float> correlation =
        autocorrelation(envelopes.all, size_t(std::ceil(4 * longest)) + 2);
    double period = shortest;
    float strongest = -1e9f;
    for (double candidate = shortest; candidate <= longest; candidate += 0.1) {
        const float strength = metricalStrength(correlation, candidate);
        if (strength > strongest) {
            strongest = strength;
            period = candidate;
        }
    }
    // Then the period and phase whose grid meets the onsets best, near that period: over a long
    // piece a small error of the period moves the later beats off their onsets.
    float best = -1;
    double phase = 0, finePeriod = period;
    const double reach = period * 0.015;
    for (double candidate = period - reach; candidate <= period + reach; candidate += 0.01) {
        float score = 0;
        const double at = bestPhase(envelopes, candidate, 0.5, &score);
        if (score > best) {
            best = score;
            phase = at;
            finePeriod = candidate;
        }
    }
    DetectedTempo tempo;
    tempo.bpm = 60 * rate / finePeriod;
    // An envelope value stands for the rise within its hop: the onset is about half a hop in. A
    // beat in the last quarter of the first period is taken as one just before the start, so
    // that music starting on a beat reads as such.
    const double first = phase + 0.5;
    tempo.firstBeatSeconds = (first > 0.75 * finePeriod ? first - finePeriod : first) / rate;
    return tempo;
}
