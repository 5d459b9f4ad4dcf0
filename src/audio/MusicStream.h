#pragma once
// The music: decoded whole at start to 44.1 kHz stereo in memory, played looping through an
// output backend, and asked every frame for its position and spectrum.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MusicSamples;

constexpr int musicSampleRate = 44100;
constexpr int spectrumSize = 1024; // magnitudes of a 2048-frame FFT, bin 0 = DC

// Where the sound goes and where the clock comes from.
enum class MusicOutput {
    Device, // the SDL2 audio device; falls back to Silent (one stderr line) when none opens
    Silent, // no sound, position from the wall clock
    Manual, // no sound, position moves only when set (offline rendering, single shots)
};

// Used from one thread (the device's own thread, or a render's writer, only reads the samples).
class MusicStream {
public:
    // Decodes the file. A missing or undecodable file writes one stderr line naming it; the
    // stream then plays silence on the wall clock (length 0, zero spectrum). Without
    // `keepSound` (for a Manual stream that no one hears) only what the spectrum needs is kept.
    explicit MusicStream(const std::string& path, MusicOutput output = MusicOutput::Device,
                         bool keepSound = true);
    // Plays music decoded before (a show's); keepOnly gives back what the stream does not need of
    // it for every other user too.
    explicit MusicStream(std::shared_ptr<MusicSamples> samples,
                         MusicOutput output = MusicOutput::Device);
    // Plays samples already in memory (interleaved stereo at musicSampleRate; empty = no music).
    explicit MusicStream(const std::vector<float>& interleavedStereo,
                         MusicOutput output = MusicOutput::Device);
    ~MusicStream();
    MusicStream(const MusicStream&) = delete;
    MusicStream& operator=(const MusicStream&) = delete;

    // Starts playback (restart: from position 0). Until then the position stands still.
    void play(bool restart = true);
    // Stops the sound and the position; play(false) goes on from the same frame.
    void pause();

    // Position in sample frames; smooth, never backwards in steady play except at a loop.
    uint64_t position() const;
    // Before 0 goes to 0; past the end wraps into the track.
    void setPosition(int64_t frame);
    double secondsToFrames(double seconds) const { return seconds * musicSampleRate; }
    double framesToSeconds(uint64_t frames) const { return double(frames) / musicSampleRate; }
    double positionSeconds() const { return framesToSeconds(position()); }
    // The same in seconds; a time that is not a finite number goes to 0.
    void setPositionSeconds(double seconds);

    // Magnitudes of the 2048 frames that end at the current position (mono, Hann window); a
    // full-scale sine centred on a bin reads 0.5 there. Allocates nothing.
    void spectrum(float out[spectrumSize]) const;
    // The same at a given frame position (offline rendering, tests).
    void spectrumAt(uint64_t frame, float out[spectrumSize]) const;
    // The mono samples of the `count` frames that end just before the current position, or the
    // given one; frames before the track's start, or not kept, are silence (0). Allocates nothing.
    void waveform(float* out, int count) const { waveformAt(position(), out, count); }
    void waveformAt(uint64_t frame, float* out, int count) const;

    // Keeps only what positions `from` to `to` need: the spectra that end there and the sound
    // between them (renders and shots, which know their positions). Elsewhere the spectrum and
    // the sound are then silent. A range that starts within a window of the track's start, or
    // reaches past its end, keeps everything: spectra there wrap round the loop.
    void keepOnly(uint64_t from, uint64_t to);

    bool hasMusic() const;
    uint64_t lengthFrames() const;
    // The music as kept (empty without music).
    const MusicSamples& samples() const;
    MusicOutput output() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
