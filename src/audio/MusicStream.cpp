#include "audio/MusicStream.h"

#include "audio/AudioDecoder.h"
#include "audio/AudioOutput.h"
#include "audio/MusicSamples.h"
#include "audio/SpectrumAnalyzer.h"
#include "platform/Debug.h"
#include "platform/Error.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

void reportSilence(const ShowError& error) {
    debugLine("%s; the show runs silently on the wall clock", error.what());
}

MusicSamples decodeOrSilence(const std::string& path, bool keepSound) {
    try {
        return decodeAudioFile(path, maxMusicFrames, keepSound);
    } catch (const ShowError& error) {
        reportSilence(error);
        return MusicSamples(keepSound);
    }
}

} // namespace

struct MusicStream::Impl {
    Impl(std::shared_ptr<MusicSamples> decoded, MusicOutput requested)
        : samples(std::move(decoded)) {
        // Without music there is nothing to send to a device.
        if (samples->empty() && requested == MusicOutput::Device)
            requested = MusicOutput::Silent;
        output = makeAudioOutput(requested, *samples);
    }

    std::shared_ptr<MusicSamples> samples;
    std::unique_ptr<AudioOutput> output;
    // The analyzer's buffers are scratch space; asking for a spectrum changes nothing visible.
    mutable SpectrumAnalyzer analyzer;
};

MusicStream::MusicStream(const std::string& path, MusicOutput output, bool keepSound)
    : MusicStream(std::make_shared<MusicSamples>(decodeOrSilence(path, keepSound)), output) {}

MusicStream::MusicStream(std::shared_ptr<MusicSamples> samples, MusicOutput output)
    : impl_(std::make_unique<Impl>(std::move(samples), output)) {}

MusicStream::MusicStream(const std::vector<float>& interleavedStereo, MusicOutput output)
    : MusicStream(std::make_shared<MusicSamples>(interleavedStereo), output) {}

MusicStream::~MusicStream() = default;

void MusicStream::play(bool restart) { impl_->output->play(restart); }

void MusicStream::pause() { impl_->output->pause(); }

uint64_t MusicStream::position() const { return impl_->output->position(); }

void MusicStream::setPosition(int64_t frame) {
    const uint64_t length = lengthFrames();
    uint64_t target = uint64_t(std::max<int64_t>(frame, 0));
    if (length)
        target %= length;
    impl_->output->setPosition(target);
}

void MusicStream::setPositionSeconds(double seconds) {
    double frames = std::floor(secondsToFrames(seconds));
    if (!std::isfinite(frames) || frames < 0.0) {
        setPosition(0);
        return;
    }
    // Wrapped here already, so that any finite time fits the frame count.
    const uint64_t length = lengthFrames();
    frames = length ? std::fmod(frames, double(length)) : std::min(frames, 0x1p62);
    setPosition(int64_t(frames));
}

void MusicStream::spectrum(float out[spectrumSize]) const { spectrumAt(position(), out); }

void MusicStream::spectrumAt(uint64_t frame, float out[spectrumSize]) const {
    static_assert(SpectrumAnalyzer::binCount == spectrumSize);
    const MusicSamples& samples = *impl_->samples;
    const std::span<const float> kept = samples.mono();
    if (kept.size() == samples.frames()) {
        impl_->analyzer.analyze(kept, frame, out);
        return;
    }
    // Inside a kept part the window never wraps, and reads what it reads in the whole track.
    const uint64_t end = frame % samples.frames();
    if (end < samples.firstKept() + SpectrumAnalyzer::windowFrames ||
        end - samples.firstKept() > kept.size()) {
        std::fill(out, out + spectrumSize, 0.0f);
        return;
    }
    impl_->analyzer.analyze(kept, end - samples.firstKept(), out);
}

void MusicStream::waveformAt(uint64_t frame, float* out, int count) const {
    std::fill(out, out + count, 0.0f);
    const MusicSamples& samples = *impl_->samples;
    if (samples.frames() == 0)
        return;
    const std::span<const float> kept = samples.mono();
    const auto end = int64_t(frame % samples.frames());
    const auto first = int64_t(samples.firstKept());
    for (int i = 0; i < count; ++i) {
        const int64_t at = end - count + i;
        if (at >= first && at - first < int64_t(kept.size()))
            out[i] = kept[size_t(at - first)];
    }
}

void MusicStream::keepOnly(uint64_t from, uint64_t to) {
    if (from >= SpectrumAnalyzer::windowFrames && to <= lengthFrames())
        impl_->samples->keepOnly(from - SpectrumAnalyzer::windowFrames, to);
}

bool MusicStream::hasMusic() const { return !impl_->samples->empty(); }

uint64_t MusicStream::lengthFrames() const { return impl_->samples->frames(); }

const MusicSamples& MusicStream::samples() const { return *impl_->samples; }

MusicOutput MusicStream::output() const { return impl_->output->kind(); }
