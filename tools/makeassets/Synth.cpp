#include "Synth.h"

#include <algorithm>
#include <cmath>

StereoBuffer::StereoBuffer(int sampleRate, double seconds)
    : sampleRate_(sampleRate), samples_(size_t(seconds * sampleRate) * 2, 0.0f) {}

void StereoBuffer::mixIn(const StereoBuffer& other, float gain) {
    size_t count = std::min(samples_.size(), other.samples_.size());
    for (size_t i = 0; i < count; ++i)
        samples_[i] += other.samples_[i] * gain;
}

namespace synth {

namespace {

constexpr double twoPi = 6.283185307179586;

// Deterministic white noise in [-1, 1].
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed * 747796405u + 2891336453u) {}
    float next() {
        state_ = state_ * 1664525u + 1013904223u;
        return float(int32_t(state_ ^ (state_ >> 16))) / 2147483648.0f;
    }

private:
    uint32_t state_;
};

// Chamberlin state-variable filter.
struct StateVariableFilter {
    float low = 0, band = 0;
    void run(float input, float cutoff, float damping, int sampleRate, float& lowOut,
             float& bandOut, float& highOut) {
        float f =
            2 *
            float(std::sin(3.141592653589793 * std::min(cutoff, sampleRate * 0.2f) / sampleRate));
        low += f * band;
        float high = input - low - damping * band;
        band += f * high;
        lowOut = low;
        bandOut = band;
        highOut = high;
    }
};

struct OnePoleLowPass {
    float state = 0;
    float cutoff = -1, coefficient = 0;
    float run(float input, float newCutoff, int sampleRate) {
        // The coefficient is recomputed only when the cutoff has moved noticeably.
        if (std::fabs(newCutoff - cutoff) > cutoff * 0.002f) {
            cutoff = newCutoff;
            coefficient = 1 - std::exp(float(-twoPi) * cutoff / sampleRate);
        }
        state += coefficient * (input - state);
        return state;
    }
};

// Equal-power pan gains.
void panGains(float pan, float& left, float& right) {
    float angle = (pan + 1) * 0.25f * 3.14159265f;
    left = std::cos(angle);
    right = std::sin(angle);
}

// Naive saw from a phase in [0, 1).
float saw(double phase) { return float(2 * phase - 1); }

} // namespace

float noteFrequency(int semitonesFromA4) {
    return 440.0f * std::pow(2.0f, semitonesFromA4 / 12.0f);
}

void kick(StereoBuffer& out, double at, float gain) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const int length = int(0.32 * rate);
    double phase = 0;
    Noise noise{uint32_t(start)};
    float previousNoise = 0;
    for (int i = 0; i < length; ++i) {
        double t = double(i) / rate;
        double frequency = 48 + 110 * std::exp(-t / 0.03);
        phase += frequency / rate;
        // Full body for 60 ms, then a quick fall, so the low end drops away well before the
        // next beat.
        double body = t < 0.002 ? t / 0.002 : t < 0.06 ? 1.0 : std::exp(-(t - 0.06) / 0.07);
        float tone = float(std::tanh(2.2 * std::sin(twoPi * phase) * body));
        float n = noise.next();
        float click = (n - previousNoise) * float(std::exp(-t / 0.004)) * 0.25f;
        previousNoise = n;
        float v = (tone + click) * gain;
        out.add(start + i, v, v);
    }
}

void bass(StereoBuffer& out, double at, double length, float frequency, float gain) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const int count = int((length + 0.02) * rate);
    double phase = 0;
    OnePoleLowPass filter1, filter2;
    for (int i = 0; i < count; ++i) {
        double t = double(i) / rate;
        phase += frequency / rate;
        phase -= std::floor(phase);
        float envelope = float(std::min(1.0, t / 0.004) * std::exp(-t / 0.25));
        if (t > length)
            envelope *= float(std::max(0.0, 1 - (t - length) / 0.02));
        float cutoff = 220 + 900 * float(std::exp(-t / 0.05));
        float v = filter2.run(filter1.run(saw(phase), cutoff, rate), cutoff, rate);
        v = (v * 0.8f + float(std::sin(twoPi * phase)) * 0.35f) * envelope * gain;
        out.add(start + i, v, v);
    }
}

void hat(StereoBuffer& out, double at, bool open, float gain, float pan, uint32_t seed) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const double decay = open ? 0.12 : 0.025;
    const int count = int(decay * 6 * rate);
    Noise noise(seed);
    StateVariableFilter filter;
    float left, right;
    panGains(pan, left, right);
    for (int i = 0; i < count; ++i) {
        double t = double(i) / rate;
        float low, band, high;
        filter.run(noise.next(), 7000, 0.5f, rate, low, band, high);
        float v = high * float(std::exp(-t / decay)) * gain;
        out.add(start + i, v * left, v * right);
    }
}

void clap(StereoBuffer& out, double at, float gain, uint32_t seed) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const int count = int(0.3 * rate);
    Noise noise(seed);
    StateVariableFilter filter;
    for (int i = 0; i < count; ++i) {
        double t = double(i) / rate;
        // Three quick slaps, then the tail.
        double slap = std::fmod(t, 0.011);
        double envelope = t < 0.033 ? std::exp(-slap / 0.003) : std::exp(-(t - 0.033) / 0.06);
        float low, band, high;
        filter.run(noise.next(), 1400, 0.6f, rate, low, band, high);
        float body = float(std::sin(twoPi * 190 * t) * std::exp(-t / 0.03)) * 0.15f;
        float v = (band * float(envelope) + body) * gain;
        out.add(start + i, v, v * 0.9f);
    }
}

void pad(StereoBuffer& out, double at, double length, const std::vector<float>& frequencies,
         float gain, float brightness) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const double release = 0.8;
    const int count = int((length + release) * rate);
    const float detune[3] = {-0.006f, 0.0f, 0.0071f};
    for (size_t n = 0; n < frequencies.size(); ++n) {
        double phases[2][3] = {{0.1, 0.5, 0.8}, {0.3, 0.9, 0.2}};
        OnePoleLowPass filters[2][2];
        float cutoff = 0;
        for (int i = 0; i < count; ++i) {
            double t = double(i) / rate;
            double envelope = std::min(1.0, t / 0.35);
            if (t > length)
                envelope *= std::max(0.0, 1 - (t - length) / release);
            if (i % 64 == 0) // a slow sweep: updated every 64 samples
                cutoff = 500 + 2500 * brightness + 300 * float(std::sin(t * 1.3 + n));
            float sides[2];
            for (int side = 0; side < 2; ++side) {
                float v = 0;
                for (int k = 0; k < 3; ++k) {
                    double d = detune[k] * (side ? -1 : 1);
                    phases[side][k] += frequencies[n] * (1 + d) / rate;
                    phases[side][k] -= std::floor(phases[side][k]);
                    v += saw(phases[side][k]);
                }
                v = filters[side][1].run(filters[side][0].run(v, cutoff, rate), cutoff, rate);
                sides[side] = v * float(envelope) * gain / 3;
            }
            out.add(start + i, sides[0], sides[1]);
        }
    }
}

void lead(StereoBuffer& out, double at, double length, float frequency, float gain, float pan) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const int count = int((length + 0.15) * rate);
    double phaseA = 0, phaseB = 0.37;
    OnePoleLowPass filter;
    float left, right;
    panGains(pan, left, right);
    for (int i = 0; i < count; ++i) {
        double t = double(i) / rate;
        double vibrato = 1 + 0.004 * std::sin(twoPi * 5.5 * t) * std::min(1.0, t / 0.2);
        phaseA += frequency * vibrato / rate;
        phaseB += frequency * vibrato * 1.005 / rate;
        phaseA -= std::floor(phaseA);
        phaseB -= std::floor(phaseB);
        float square = (phaseA < 0.5 ? 1.0f : -1.0f) * 0.5f + saw(phaseB) * 0.5f;
        double envelope = std::min(1.0, t / 0.005) * (0.6 + 0.4 * std::exp(-t / 0.1));
        if (t > length)
            envelope *= std::max(0.0, 1 - (t - length) / 0.15);
        float cutoff = 1200 + 5000 * float(std::exp(-t / 0.12));
        float v = filter.run(square, cutoff, rate) * float(envelope) * gain;
        out.add(start + i, v * left, v * right);
    }
}

void pluck(StereoBuffer& out, double at, float frequency, float gain, float pan) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const int count = int(0.6 * rate);
    float left, right;
    panGains(pan, left, right);
    for (int i = 0; i < count; ++i) {
        double t = double(i) / rate;
        double tone = std::sin(twoPi * frequency * t) +
                      0.3 * std::sin(twoPi * 2 * frequency * t) * std::exp(-t / 0.05);
        float v = float(tone * std::min(1.0, t / 0.003) * std::exp(-t / 0.18)) * gain;
        out.add(start + i, v * left, v * right);
    }
}

void riser(StereoBuffer& out, double at, double length, float gain, uint32_t seed) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const int count = int(length * rate);
    Noise noise(seed);
    StateVariableFilter filters[2];
    for (int i = 0; i < count; ++i) {
        double progress = double(i) / count;
        float cutoff = float(400 * std::pow(20.0, progress));
        float level = float(progress * progress) * gain;
        float low, band, highL, highR;
        filters[0].run(noise.next(), cutoff, 0.3f, rate, low, band, highL);
        float bandL = band;
        filters[1].run(noise.next(), cutoff, 0.3f, rate, low, band, highR);
        out.add(start + i, bandL * level, band * level);
    }
}

void crash(StereoBuffer& out, double at, float gain, uint32_t seed) {
    const int rate = out.sampleRate();
    const size_t start = out.frameAt(at);
    const int count = int(2.5 * rate);
    Noise noise(seed);
    StateVariableFilter filters[2];
    for (int i = 0; i < count; ++i) {
        double t = double(i) / rate;
        float level = float(std::exp(-t / 0.6)) * gain;
        float low, band, highL, highR;
        filters[0].run(noise.next(), 5000, 0.7f, rate, low, band, highL);
        filters[1].run(noise.next(), 5000, 0.7f, rate, low, band, highR);
        out.add(start + i, highL * level, highR * level);
    }
}

void echo(StereoBuffer& buffer, double delay, float feedback, float wet) {
    std::vector<float>& s = buffer.samples();
    const size_t delayFrames = size_t(delay * buffer.sampleRate());
    std::vector<float> line(delayFrames * 2, 0.0f);
    size_t position = 0;
    for (size_t frame = 0; frame < buffer.frames(); ++frame) {
        float delayedL = line[position * 2], delayedR = line[position * 2 + 1];
        float inL = s[frame * 2], inR = s[frame * 2 + 1];
        // Ping-pong: each repeat crosses to the other side.
        line[position * 2] = inR + delayedR * feedback;
        line[position * 2 + 1] = inL + delayedL * feedback;
        s[frame * 2] = inL + delayedL * wet;
        s[frame * 2 + 1] = inR + delayedR * wet;
        position = (position + 1) % delayFrames;
    }
}

} // namespace synth
