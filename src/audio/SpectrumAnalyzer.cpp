#include "audio/SpectrumAnalyzer.h"

#include "platform/Error.h"

#include <cmath>
#include <mutex>
#include <numbers>

namespace {

// FFTW's planner keeps global state.
std::mutex& plannerMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

SpectrumAnalyzer::SpectrumAnalyzer() {
    // Periodic Hann window: its sum is exactly windowFrames / 2.
    for (int i = 0; i < windowFrames; ++i)
        window_[i] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / windowFrames));
    std::lock_guard lock(plannerMutex());
    input_ = fftwf_alloc_real(windowFrames);
    output_ = fftwf_alloc_complex(binCount + 1);
    if (input_ && output_)
        plan_ = fftwf_plan_dft_r2c_1d(windowFrames, input_, output_, FFTW_ESTIMATE);
    if (!plan_) {
        fftwf_free(input_);
        fftwf_free(output_);
        raise("Unable to set up the spectrum transform");
    }
}

SpectrumAnalyzer::~SpectrumAnalyzer() {
    std::lock_guard lock(plannerMutex());
    fftwf_destroy_plan(plan_);
    fftwf_free(input_);
    fftwf_free(output_);
}

void SpectrumAnalyzer::fillWindow(std::span<const float> mono, uint64_t endFrame) {
    const uint64_t length = mono.size();
    int64_t frame = int64_t(endFrame % length) - windowFrames;
    int i = 0;
    if (frame < 0) {
        if (length < uint64_t(windowFrames)) {
            for (; frame < 0; ++frame, ++i)
                input_[i] = 0.0f;
        } else {
            frame += int64_t(length);
        }
    }
    for (; i < windowFrames; ++i) {
        if (uint64_t(frame) == length)
            frame = 0;
        input_[i] = mono[size_t(frame)] * window_[i];
        ++frame;
    }
}

void SpectrumAnalyzer::analyze(std::span<const float> mono, uint64_t endFrame, float* out) {
    if (mono.empty()) {
        for (int bin = 0; bin < binCount; ++bin)
            out[bin] = 0.0f;
        return;
    }
    fillWindow(mono, endFrame);
    fftwf_execute(plan_);
    // A sine of amplitude A centred on a bin gives A * sum(window) / 2 = A * windowFrames / 4
    // there; scale that to A / 2.
    const float scale = 2.0f / windowFrames;
    for (int bin = 0; bin < binCount; ++bin)
        out[bin] = std::hypot(output_[bin][0], output_[bin][1]) * scale;
}
