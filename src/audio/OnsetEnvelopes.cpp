#include "audio/OnsetEnvelopes.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double envelopeRate = 344.5; // a hop of 128 at 44.1 kHz

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

} // namespace

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

OnsetEnvelopes widened(const OnsetEnvelopes& envelopes, int radius) {
    return {envelopes.rate, widened(envelopes.all, radius), widened(envelopes.low, radius),
            widened(envelopes.mid, radius)};
}

OnsetEnvelopes onsetEnvelopes(std::span<const float> mono, int sampleRate) {
    OnsetEnvelopes envelopes;
    if (sampleRate <= 0)
        return envelopes;
    const size_t hop = size_t(std::max(1L, std::lround(sampleRate / envelopeRate)));
    envelopes.rate = double(sampleRate) / double(hop);
    LowPass low1(150, sampleRate), low2(150, sampleRate), mid1(2500, sampleRate),
        mid2(2500, sampleRate);
    const size_t count = mono.size() / hop;
    envelopes.all.reserve(count);
    envelopes.low.reserve(count);
    envelopes.mid.reserve(count);
    double previous[3] = {0, 0, 0};
    for (size_t start = 0; start + hop <= mono.size(); start += hop) {
        double energy[3] = {0, 0, 0};
        for (size_t i = start; i < start + hop; ++i) {
            const float x = std::isfinite(mono[i]) ? mono[i] : 0.0f;
            const float lowBand = low2(low1(x));
            const float belowHigh = mid2(mid1(x));
            const float bands[3] = {lowBand, belowHigh - lowBand, x - belowHigh};
            for (int band = 0; band < 3; ++band)
                energy[band] += double(bands[band]) * bands[band];
        }
        double rises[3];
        for (int band = 0; band < 3; ++band) {
            // The level in decibels, with a floor 60 dB down: quiet attacks count, silence not.
            const double level = std::log1p(std::min(1e6 * energy[band] / double(hop), 1e12));
            rises[band] = std::max(0.0, level - previous[band]);
            previous[band] = level;
        }
        envelopes.all.push_back(float(rises[0] + rises[1] + rises[2]));
        envelopes.low.push_back(float(rises[0]));
        envelopes.mid.push_back(float(rises[1]));
    }
    // A light smoothing, so that the fine search sees a slope rather than single spikes.
    return widened(envelopes, 1);
}

float sampleAt(const std::vector<float>& values, double at) {
    if (at < 0)
        return 0;
    const size_t index = size_t(at);
    if (index >= values.size())
        return 0;
    const float share = float(at - double(index));
    const float next = index + 1 < values.size() ? values[index + 1] : 0;
    return values[index] * (1 - share) + next * share;
}

float combMean(const std::vector<float>& envelope, double period, double phase, double from,
               double to) {
    to = std::min(to, double(envelope.size()));
    double at = phase + std::ceil((from - phase) / period) * period;
    double sum = 0;
    int count = 0;
    for (; at < to; at += period, ++count)
        sum += sampleAt(envelope, at);
    return count ? float(sum / count) : 0;
}

std::vector<float> autocorrelation(const std::vector<float>& envelope, size_t longest) {
    std::vector<float> correlation(longest + 1);
    if (envelope.empty())
        return correlation;
    const double mean = meanOf(envelope);
    std::vector<float> centred(envelope.size());
    for (size_t i = 0; i < envelope.size(); ++i)
        centred[i] = float(envelope[i] - mean);
    for (size_t lag = 0; lag <= longest && lag < centred.size(); ++lag) {
        // Eight running sums, which the compiler can keep in one vector register.
        float sums[8] = {};
        const float* a = centred.data() + lag;
        const float* b = centred.data();
        const size_t count = centred.size() - lag;
        size_t i = 0;
        for (; i + 8 <= count; i += 8)
            for (size_t k = 0; k < 8; ++k)
                sums[k] += a[i + k] * b[i + k];
        double sum = 0;
        for (; i < count; ++i)
            sum += double(a[i]) * b[i];
        for (const float part : sums)
            sum += part;
        correlation[lag] = float(sum / double(count));
    }
    if (correlation[0] > 0)
        for (float& value : correlation)
            value /= correlation[0];
    return correlation;
}

float correlationNear(const std::vector<float>& correlation, double lag, double tolerance) {
    float best = -1;
    const double step = std::max(0.25, lag * tolerance / 4);
    for (double at = lag * (1 - tolerance); at <= lag * (1 + tolerance) + 1e-9; at += step)
        best = std::max(best, sampleAt(correlation, at));
    return best;
}

double meanOf(const std::vector<float>& values) {
    double sum = 0;
    for (const float value : values)
        sum += value;
    return values.empty() ? 0 : sum / double(values.size());
}

GridFit::GridFit(const OnsetEnvelopes& envelopes) : envelopes_(envelopes) {
    const double lowMean = meanOf(envelopes.low), allMean = meanOf(envelopes.all);
    lowWeight_ = lowMean > 0 ? float(0.5 * allMean / lowMean) : 0;
    mean_ = float(allMean + lowWeight_ * lowMean);
}

float GridFit::operator()(double period, double phase, double from, double to) const {
    return combMean(envelopes_.all, period, phase, from, to) +
           lowWeight_ * combMean(envelopes_.low, period, phase, from, to);
}

GridFit::Best GridFit::bestPhase(double period, double from, double to, double step) const {
    Best best;
    for (double phase = from; phase <= to; phase += step) {
        const double within = wrapped(phase, period);
        const float fit = (*this)(period, within);
        if (fit > best.fit)
            best = {within, fit};
    }
    return best;
}

double wrapped(double phase, double period) {
    return std::fmod(std::fmod(phase, period) + period, period);
}
