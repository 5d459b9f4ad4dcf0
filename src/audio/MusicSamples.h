#pragma once
// The decoded music as it stays in memory, 6 bytes a frame instead of the 8 of stereo float: the
// mono mix that the spectrum reads, kept exactly as it is computed from the decoded floats, and
// half the difference of the two channels at 16 bits, from which the stereo sound is rebuilt
// (within 1/65534 of full scale, below what a 16-bit sound card can play).

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class MusicSamples;

// A stretch of a track's sound: `frames` frames from `first` on (none without a track).
struct MusicStretch {
    const MusicSamples* music = nullptr;
    uint64_t first = 0;
    uint64_t frames = 0;
};

class MusicSamples {
public:
    // Without `keepSound` only the mono mix is kept: enough for the spectrum, and the stereo
    // sound reads as silence.
    explicit MusicSamples(bool keepSound = true) : keepSound_(keepSound) {}
    // From interleaved stereo (an odd last sample is dropped).
    explicit MusicSamples(std::span<const float> interleavedStereo, bool keepSound = true);

    void reserve(uint64_t frames);
    void append(const float* interleavedStereo, uint64_t frames);
    // Gives back a large surplus of capacity (a store that grew can hold twice what it needs).
    void shrinkToFit();

    // Frames of the whole track, also after keepOnly.
    uint64_t frames() const { return frames_; }
    bool empty() const { return frames_ == 0; }
    bool hasSound() const { return keepSound_; }
    // Frames from `from` up to `to` stay, the rest is given back.
    void keepOnly(uint64_t from, uint64_t to);
    uint64_t keptEnd() const { return first_ + mono_.size(); }
    // The first frame kept, and per kept frame 0.5f * (left + right), as decoded.
    uint64_t firstKept() const { return first_; }
    std::span<const float> mono() const { return mono_; }
    // Writes `count` interleaved stereo frames from `first` on; frames not kept, and all of them
    // without the sound, are silence. Safe on any thread while the samples do not change.
    void readStereo(uint64_t first, uint64_t count, float* out) const;

private:
    std::vector<float> mono_;
    std::vector<int16_t> side_;
    uint64_t first_ = 0;
    uint64_t frames_ = 0;
    bool keepSound_;
};
