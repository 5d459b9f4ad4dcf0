#pragma once
// Magnitude spectrum of a stretch of stereo music: the frames that end at a position, mixed to
// mono, Hann-windowed and transformed with FFTW.

#include <array>
#include <cstdint>
#include <vector>

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
    // interleaved stereo `samples` that end just before `endFrame` (taken inside the track).
    // Before the start the window wraps round to the track's end, as a looping track sounds;
    // a track shorter than the window has silence there instead. A full-scale sine centred on
    // a bin reads 0.5 in it. Allocates nothing.
    void analyze(const std::vector<float>& samples, uint64_t endFrame, float* out);

private:
    void fillMono(const std::vector<float>& samples, uint64_t endFrame);

    std::array<float, windowFrames> window_;
    float* input_ = nullptr;
    fftwf_complex* output_ = nullptr;
    fftwf_plan plan_ = nullptr;
};
