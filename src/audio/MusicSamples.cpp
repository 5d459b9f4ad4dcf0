#include "audio/MusicSamples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

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
    frames_ += frames;
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

void MusicSamples::keepOnly(uint64_t from, uint64_t to) {
    const uint64_t end = keptEnd();
    from = std::clamp(from, first_, end);
    to = std::clamp(to, from, end);
    if (from == first_ && to == end)
        return;
    const auto keep = [&](auto& values) {
        if (!values.empty())
            values = std::decay_t<decltype(values)>(values.begin() + (from - first_),
                                                    values.begin() + (to - first_));
    };
    keep(mono_);
    keep(side_);
    first_ = from;
}

void MusicSamples::readStereo(uint64_t first, uint64_t count, float* out) const {
    std::memset(out, 0, count * 2 * sizeof(float));
    const uint64_t end = keptEnd();
    if (!keepSound_ || first >= end || first + count <= first_)
        return;
    for (uint64_t frame = std::max(first, first_); frame < std::min(first + count, end); ++frame) {
        const float mid = mono_[frame - first_];
        const float side = float(side_[frame - first_]) / sideScale;
        out[2 * (frame - first)] = mid + side;
        out[2 * (frame - first) + 1] = mid - side;
    }
}
