#pragma once
// Magnitude spectrum of a stretch of music: the mono frames that end at a position, Hann-windowed
// and transformed with FFTW.

#include <array>
#include <cstdint>
#include <span>

#include <fftw3.h>

class SpectrumAnalyzer {
public:
    static constexpr int windowFrames = 2048;
    static constexpr int binCount = windowFrames / 2;

    // Plans the transform (FFTW planning is not thread-safe: construct on the main thread).
    SpectrumAnalyzer();
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    // Fills `out` with the magnitudes of bins 0..binCount-1 of the windowFrames frames of the
    // `mono` track that end just before `endFrame` (taken inside the track).
    // Before the start the window wraps round to the track's end, as a looping track sounds;
    // a track shorter than the window has silence there instead. A full-scale sine centred on
    // a bin reads 0.5 in it. Allocates nothing.
    void analyze(std::span<const float> mono, uint64_t endFrame, float* out);

private:
    void fillWindow(std::span<const float> mono, uint64_t endFrame);

    std::array<float, windowFrames> window_;
    float* input_ = nullptr;
    fftwf_complex* output_ = nullptr;
    fftwf_plan plan_ = nullptr;
};
