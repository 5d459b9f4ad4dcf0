#pragma once
// Decoding of a whole music file into memory.

#include "audio/MusicSamples.h"

#include <cstdint>
#include <memory>
#include <string>

// Longest music kept in memory: 30 minutes (about 476 MB with its sound, 318 MB without).
constexpr uint64_t maxMusicFrames = uint64_t(30) * 60 * 44100;

// Receives a file's music as it is decoded.
class DecodedFrames {
public:
    virtual ~DecodedFrames() = default;
    // The length the file announces (0 when unknown), before any frames: a hint for reserving.
    virtual void expect(uint64_t /*frames*/) {}
    // The next `frames` frames, interleaved stereo.
    virtual void take(const float* interleavedStereo, uint64_t frames) = 0;
};

// Decodes the first audio stream of a local file (any container and codec FFmpeg reads) to
// 44.1 kHz stereo float, handed to `into` piece by piece. A mono source plays at full level in
// both channels. Music longer than `maxFrames` is cut there with one line on stderr. Throws
// ShowError naming the file when it is missing, not a regular file, has no audio stream or
// yields no samples.
void decodeAudio(const std::string& path, DecodedFrames& into, uint64_t maxFrames = maxMusicFrames);

// The same, piece by piece: each decodeMore() hands `into` the frames of the next packet (at the
// end, what the decoder and resampler still hold) and says whether more may follow. Opening
// throws what decodeAudio throws for a file it cannot read; the last decodeMore() throws when
// the whole file yielded no samples.
class AudioFileDecoder {
public:
    AudioFileDecoder(const std::string& path, DecodedFrames& into,
                     uint64_t maxFrames = maxMusicFrames);
    ~AudioFileDecoder();
    AudioFileDecoder(const AudioFileDecoder&) = delete;
    AudioFileDecoder& operator=(const AudioFileDecoder&) = delete;

    bool decodeMore();
    uint64_t decodedFrames() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The same, kept as MusicSamples (`keepSound` false: the mono mix alone).
MusicSamples decodeAudioFile(const std::string& path, uint64_t maxFrames = maxMusicFrames,
                             bool keepSound = true);
