#include "timeline/ShowSounds.h"

#include "audio/AudioDecoder.h"
#include "audio/MusicSamples.h"
#include "audio/MusicStream.h"
#include "platform/Error.h"
#include "platform/ShowFiles.h"
#include "render/ShaderInputs.h"

#include <cmath>

namespace {

class DecodedSound final : public SoundTrack {
public:
    explicit DecodedSound(std::shared_ptr<MusicSamples> samples)
        : stream_(std::move(samples), MusicOutput::Manual) {}

    void analyze(double seconds, float* spectrum, float* waveform) override {
        const double frame = std::max(0.0, std::floor(stream_.secondsToFrames(seconds)));
        stream_.spectrumAt(uint64_t(frame), spectrum);
        stream_.waveformAt(uint64_t(frame), waveform, soundTextureWidth);
    }

private:
    MusicStream stream_;
};

} // namespace

std::unique_ptr<SoundTrack> ShowSounds::open(const ShowFile& file) {
    auto samples = std::make_shared<MusicSamples>(
        decodeAudioFile(file.path(), maxMusicFrames, /*keepSound=*/false));
    if (samples->empty())
        throw ShowError("it holds no sound");
    return std::make_unique<DecodedSound>(std::move(samples));
}
