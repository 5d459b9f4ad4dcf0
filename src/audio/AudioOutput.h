#pragma once
// Where a track plays and where its clock comes from: the SDL2 audio device, a silent wall
// clock, or a manual clock. Positions are sample frames inside the track (without a track the
// position is not wrapped).

#include "audio/MusicStream.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // Starts (or keeps) the clock running; restart puts it at frame 0 first.
    virtual void play(bool restart) = 0;
    virtual uint64_t position() const = 0;
    // `frame` is already inside the track.
    virtual void setPosition(uint64_t frame) = 0;
    virtual MusicOutput kind() const = 0;
};

// A frame count that advances with the wall clock from an anchor: `frame` at `time`, running
// on by at most `maxAdvance` frames.
struct ClockAnchor {
    using Clock = std::chrono::steady_clock;
    static constexpr uint64_t unbounded = UINT64_MAX;

    uint64_t frame = 0;
    Clock::time_point time = Clock::now();
    uint64_t maxAdvance = unbounded;
    bool running = false;

    uint64_t at(Clock::time_point now) const;
};

// Frames played in a stretch of time, rounded down (0 for negative stretches).
uint64_t framesIn(std::chrono::nanoseconds duration);

// Makes the output asked for. `samples` (interleaved stereo) must outlive it. A device that
// cannot be opened gives the silent wall clock instead, with one line on stderr.
std::unique_ptr<AudioOutput> makeAudioOutput(MusicOutput requested,
                                             const std::vector<float>& samples);
