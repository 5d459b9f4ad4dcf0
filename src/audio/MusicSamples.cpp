#include "audio/MusicSamples.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float sideScale = 32767.0f;

int16_t quantizedSide(float left, float right) {
    const float side = std::clamp(0.5f * (left - right), -1.0f, 1.0f);
    return int16_t(std::lrint(side * sideScale));
}

} // namespace

MusicSamples::MusicSamples(std::span<const float> interleavedStereo, bool keepSound)
    : keepSound_(keepSound) {
    reserve(interleavedStereo.size() / 2);
    append(interleavedStereo.data(), interleavedStereo.size() / 2);
}

void MusicSamples::reserve(uint64_t frames) {
    mono_.reserve(size_t(frames));
    if (keepSound_)
        side_.reserve(size_t(frames));
}

void MusicSamples::append(const float* interleavedStereo, uint64_t frames) {
    for (uint64_t i = 0; i < frames; ++i) {
        const float left = interleavedStereo[2 * i];
        const float right = interleavedStereo[2 * i + 1];
        mono_.push_back(0.5f * (left + right));
        if (keepSound_)
            side_.push_back(quantizedSide(left, right));
    }
}

void MusicSamples::shrinkToFit() {
    const auto shrink = [](auto& values) {
        if (values.capacity() > values.size() + values.size() / 16)
            values.shrink_to_fit();
    };
    shrink(mono_);
    shrink(side_);
}

void MusicSamples::readStereo(uint64_t first, uint64_t count, float* out) const {
    const uint64_t available =
        keepSound_ && first < frames() ? std::min(count, frames() - first) : 0;
    for (uint64_t i = 0; i < available; ++i) {
        const float mid = mono_[first + i];
        const float side = float(side_[first + i]) / sideScale;
        out[2 * i] = mid + side;
        out[2 * i + 1] = mid - side;
    }
    std::memset(out + 2 * available, 0, (count - available) * 2 * sizeof(float));
}
