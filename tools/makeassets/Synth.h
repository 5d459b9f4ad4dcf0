#pragma once
// The instruments of the show's music: each adds one note into a stereo buffer.

#include <cstddef>
#include <cstdint>
#include <vector>

class StereoBuffer {
public:
    StereoBuffer(int sampleRate, double seconds);
    int sampleRate() const { return sampleRate_; }
    size_t frames() const { return samples_.size() / 2; }
    // Adds a sample pair at a frame (ignored past the end).
    void add(size_t frame, float left, float right) {
        if (frame < frames()) {
            samples_[frame * 2] += left;
            samples_[frame * 2 + 1] += right;
        }
    }
    size_t frameAt(double seconds) const { return size_t(seconds * sampleRate_ + 0.5); }
    std::vector<float>& samples() { return samples_; }
    // Mixes another buffer in, scaled.
    void mixIn(const StereoBuffer& other, float gain);

private:
    int sampleRate_;
    std::vector<float> samples_;
};

namespace synth {

// pan: -1 left .. 1 right. Times in seconds, frequencies in Hz.
void kick(StereoBuffer& out, double at, float gain);
void bass(StereoBuffer& out, double at, double length, float frequency, float gain);
void hat(StereoBuffer& out, double at, bool open, float gain, float pan, uint32_t seed);
void clap(StereoBuffer& out, double at, float gain, uint32_t seed);
// A chord of detuned saws through a soft low-pass; brightness 0..1 opens the filter.
void pad(StereoBuffer& out, double at, double length, const std::vector<float>& frequencies,
         float gain, float brightness);
void lead(StereoBuffer& out, double at, double length, float frequency, float gain, float pan);
void pluck(StereoBuffer& out, double at, float frequency, float gain, float pan);
// Filtered noise sweeping upwards over its length, growing louder.
void riser(StereoBuffer& out, double at, double length, float gain, uint32_t seed);
// A long bright noise wash (crash cymbal) for the first beat of a section.
void crash(StereoBuffer& out, double at, float gain, uint32_t seed);

// Ping-pong echo: delay in seconds, feedback 0..1.
void echo(StereoBuffer& buffer, double delay, float feedback, float wet);

float noteFrequency(int semitonesFromA4);

} // namespace synth
