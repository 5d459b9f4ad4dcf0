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

constexpr uint64_t windowFrames = SpectrumAnalyzer::windowFrames;

// Decodes a whole file without keeping it: its length, and the mono mix of its last window
// (the spectra of the first positions wrap round to it).
struct TrackEnd final : DecodedFrames {
    void take(const float* interleavedStereo, uint64_t frames) override {
        for (uint64_t i = 0; i < frames; ++i, ++length)
            tail[length % windowFrames] =
                0.5f * (interleavedStereo[2 * i] + interleavedStereo[2 * i + 1]);
    }
    // The last window in the track's order.
    std::array<float, windowFrames> lastWindow() const {
        std::array<float, windowFrames> ordered{};
        for (uint64_t i = 0; i < windowFrames; ++i)
            ordered[i] = tail[(length + i) % windowFrames];
        return ordered;
    }
    uint64_t length = 0;
    std::array<float, windowFrames> tail{};
};

// Appends what a forward decoder hands over to the samples of a window.
struct WindowFill final : DecodedFrames {
    explicit WindowFill(MusicSamples& samples) : samples(samples) {}
    void take(const float* interleavedStereo, uint64_t frames) override {
        samples.append(interleavedStereo, frames);
    }
    MusicSamples& samples;
};

// Past frames are given back a second of music at a time, not on every frame.
constexpr uint64_t framesDroppedTogether = 44100;

} // namespace

struct MusicStream::Impl {
    Impl(MusicSamples decoded, MusicOutput requested) : samples(std::move(decoded)) {
        // Without music there is nothing to send to a device.
        if (samples.empty() && requested == MusicOutput::Device)
            requested = MusicOutput::Silent;
        output = makeAudioOutput(requested, samples);
    }

    // A forward stream: the track's length and last window now, its frames as they are asked for.
    Impl(const std::string& path, MusicOutput requested, bool keepSound)
        : Impl(MusicSamples(keepSound), requested) {
        TrackEnd end;
        try {
            decodeAudio(path, end);
        } catch (const ShowError& error) {
            reportSilence(error);
            return;
        }
        samples = MusicSamples::window(end.length, keepSound);
        output = makeAudioOutput(requested, samples);
        lastWindow = end.lastWindow();
        fill = std::make_unique<WindowFill>(samples);
        decoder = std::make_unique<AudioFileDecoder>(path, *fill);
    }

    // Decodes up to the margin after `position` and gives back what lies before the margin
    // before its spectrum's window.
    void decodeAround(uint64_t position) {
        if (!decoder)
            return;
        const uint64_t keepFrom = position - std::min(position, windowFrames + margin);
        const uint64_t decodeTo = std::min(position + margin + 1, samples.frames());
        const auto dropPast = [&] {
            if (keepFrom >= samples.firstKept() + framesDroppedTogether)
                samples.dropBefore(keepFrom);
        };
        while (samples.keptEnd() < decodeTo && decoder->decodeMore())
            dropPast();
        dropPast();
    }

    // The spectrum of a position within the first window: the track's last frames, then its
    // first ones, as the whole track gives it.
    void analyzeWrapped(uint64_t end, float* out) const {
        const std::span<const float> head = samples.mono();
        std::copy(lastWindow.begin() + ptrdiff_t(end), lastWindow.end(), wrapped.begin());
        std::copy(head.begin(), head.begin() + ptrdiff_t(end),
                  wrapped.begin() + ptrdiff_t(windowFrames - end));
        analyzer.analyze(wrapped, windowFrames, out);
    }

    MusicSamples samples;
    std::unique_ptr<AudioOutput> output;
    // The analyzer's buffers are scratch space; asking for a spectrum changes nothing visible.
    mutable SpectrumAnalyzer analyzer;
    // Forward streams only.
    std::unique_ptr<WindowFill> fill;
    std::unique_ptr<AudioFileDecoder> decoder;
    std::array<float, windowFrames> lastWindow{};
    uint64_t margin = musicSampleRate;
    mutable std::array<float, windowFrames> wrapped{};
};

MusicStream::MusicStream(const std::string& path, MusicOutput output, bool keepSound,
                         MusicDecoding decoding)
    : impl_(decoding == MusicDecoding::Forward
                ? std::make_unique<Impl>(path, output, keepSound)
                : std::make_unique<Impl>(decodeOrSilence(path, keepSound), output)) {}

MusicStream::MusicStream(const std::vector<float>& interleavedStereo, MusicOutput output)
    : impl_(std::make_unique<Impl>(MusicSamples(interleavedStereo), output)) {}

MusicStream::~MusicStream() = default;

void MusicStream::play(bool restart) { impl_->output->play(restart); }

void MusicStream::pause() { impl_->output->pause(); }

uint64_t MusicStream::position() const { return impl_->output->position(); }

void MusicStream::setPosition(int64_t frame) {
    const uint64_t length = lengthFrames();
    uint64_t target = uint64_t(std::max<int64_t>(frame, 0));
    if (length)
        target %= length;
    impl_->decodeAround(target);
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
    const MusicSamples& samples = impl_->samples;
    const std::span<const float> kept = samples.mono();
    if (kept.size() == samples.frames()) {
        impl_->analyzer.analyze(kept, frame, out);
        return;
    }
    // Inside a kept part the window never wraps, and reads what it reads in the whole track.
    const uint64_t end = frame % samples.frames();
    if (impl_->decoder && end < windowFrames && samples.firstKept() == 0 && kept.size() >= end) {
        impl_->analyzeWrapped(end, out);
        return;
    }
    if (end < samples.firstKept() + SpectrumAnalyzer::windowFrames ||
        end - samples.firstKept() > kept.size()) {
        std::fill(out, out + spectrumSize, 0.0f);
        return;
    }
    impl_->analyzer.analyze(kept, end - samples.firstKept(), out);
}

void MusicStream::waveformAt(uint64_t frame, float* out, int count) const {
    std::fill(out, out + count, 0.0f);
    const MusicSamples& samples = impl_->samples;
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
        impl_->samples.keepOnly(from - SpectrumAnalyzer::windowFrames, to);
}

void MusicStream::keepAround(uint64_t frames) {
    impl_->margin = frames;
    impl_->decodeAround(impl_->output->position());
}

bool MusicStream::hasMusic() const { return !impl_->samples.empty(); }

uint64_t MusicStream::lengthFrames() const { return impl_->samples.frames(); }

const MusicSamples& MusicStream::samples() const { return impl_->samples; }

MusicOutput MusicStream::output() const { return impl_->output->kind(); }
