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

// The envelope smoothed by a triangle `radius` hops each side.
std::vector<float> widened(const std::vector<float>& envelope, int radius) {
    std::vector<float> wide(envelope.size());
    const float norm = 1.0f / float((radius + 1) * (radius + 1));
    for (size_t i = 0; i < envelope.size(); ++i) {
        float sum = 0;
        for (int step = -radius; step <= radius; ++step) {
            const long at = long(i) + step;
            if (at >= 0 && at < long(envelope.size()))
                sum += float(radius + 1 - std::abs(step)) * envelope[size_t(at)];
        }
        wide[i] = sum * norm;
    }
    return wide;
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
            // The level in decibels, with a floor 60 dB down: quiet attacks count, silence not.
            const double level = std::log1p(1e6 * energy[band] / hop);
            rises[band] = std::max(0.0, level - previous[band]);
            previous[band] = level;
        }
        envelopes.all.push_back(float(rises[0] + rises[1] + rises[2]));
        envelopes.low.push_back(float(rises[0]));
    }
    // A light smoothing, so that the fine search sees a slope rather than single spikes.
    envelopes.all = widened(envelopes.all, 1);
    envelopes.low = widened(envelopes.low, 1);
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

// How well a beat grid of the period and phase meets the onsets, those of the low band (the
// kick) counting half as much as all the bands together.
class GridFit {
public:
    explicit GridFit(const Envelopes& envelopes) : envelopes_(envelopes) {
        double lowSum = 0, allSum = 0;
        for (size_t i = 0; i < envelopes.all.size(); ++i) {
            lowSum += envelopes.low[i];
            allSum += envelopes.all[i];
        }
        lowWeight_ = lowSum > 0 ? float(0.5 * allSum / lowSum) : 0;
    }

    float operator()(double period, double phase) const {
        return combMean(envelopes_.all, period, phase) +
               lowWeight_ * combMean(envelopes_.low, period, phase);
    }

    struct Best {
        double phase = 0;
        float fit = -1;
    };
    // The best phase from `from` to `to` (either may lie outside one period), in steps of `step`.
    Best bestPhase(double period, double from, double to, double step) const {
        Best best;
        for (double phase = from; phase <= to; phase += step) {
            const double within = std::fmod(std::fmod(phase, period) + period, period);
            const float fit = (*this)(period, within);
            if (fit > best.fit)
                best = {within, fit};
        }
        return best;
    }

private:
    const Envelopes& envelopes_;
    float lowWeight_;
};

// The first hop with a strong onset: at least half the 98th percentile of the envelope.
size_t firstStrongOnset(const std::vector<float>& envelope) {
    std::vector<float> sorted(envelope);
    const auto percentile = sorted.begin() + std::ptrdiff_t(0.98 * double(sorted.size() - 1));
    std::nth_element(sorted.begin(), percentile, sorted.end());
    const float strong = 0.5f * *percentile;
    size_t first = 0;
    while (first + 1 < envelope.size() && envelope[first] < strong)
        ++first;
    return first;
}

// Where the beats of a grid of the period fall: the phase is chosen on envelopes widened by a few
// hops, as the onsets of a beat spread around it (a flam, a kick's slow attack after the hats),
// then placed on the sharp ones within those hops. Between phases that fit about as well (an
// off-beat accent in a break, hats as loud as the kick), the one on the music's first strong
// onset is taken: music starts on a beat far more often than between two.
double beatPhase(const Envelopes& envelopes, double period) {
    constexpr int spread = 3;
    const Envelopes wide{widened(envelopes.all, spread), widened(envelopes.low, spread)};
    const GridFit wideFit(wide);
    const GridFit::Best best = wideFit.bestPhase(period, 0, period, 0.5);
    const double anchor = double(firstStrongOnset(envelopes.all));
    const GridFit::Best onFirst = wideFit.bestPhase(period, anchor - 8, anchor + 8, 0.5);
    const double chosen = onFirst.fit >= 0.8f * best.fit ? onFirst.phase : best.phase;
    return GridFit(envelopes).bestPhase(period, chosen - spread, chosen + spread, 0.25).phase;
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
    // Then the period whose grid meets the onsets best, near that period: over a long piece a
    // small error of the period moves the later beats off their onsets. The reach is wide enough
    // for a loop whose hits run a little slower than the loop repeats.
    const GridFit fit(envelopes);
    float best = -1;
    double finePeriod = period;
    const double reach = period * 0.03;
    for (double candidate = period - reach; candidate <= period + reach; candidate += 0.01) {
        const float score = fit.bestPhase(candidate, 0, candidate, 0.5).fit;
        if (score > best) {
            best = score;
            finePeriod = candidate;
        }
    }
    const double phase = beatPhase(envelopes, finePeriod);
    DetectedTempo tempo;
    tempo.bpm = 60 * rate / finePeriod;
    // An envelope value stands for the rise within its hop: the onset is about half a hop in. A
    // beat in the last quarter of the first period is taken as one just before the start, so
    // that music starting on a beat reads as such.
    const double first = phase + 0.5;
    tempo.firstBeatSeconds = (first > 0.75 * finePeriod ? first - finePeriod : first) / rate;
    return tempo;
}
