#pragma once
// Where a track plays and where its clock comes from: the SDL2 audio device, a silent wall
// clock, or a manual clock. Positions are sample frames inside the track (without a track the
// position is not wrapped).

#include "audio/MusicSamples.h"
#include "audio/MusicStream.h"

#include <chrono>
#include <cstdint>
#include <memory>

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts (or keeps) the clock running; restart puts it at frame 0 first.
    virtual void play(bool restart) = 0;
    // Stops the clock (and the sound) where it stands; play(false) goes on from there.
    virtual void pause() = 0;
    virtual uint64_t position() const = 0;
    // `frame` is already inside the track.
    virtual void setPosition(uint64_t frame) = 0;
    virtual MusicOutput kind() const = 0;
};

// A frame count that runs with the wall clock once started. A device re-anchors it at the first
// frame of each buffer it takes and lets it run at most to that buffer's end: a late buffer then
// holds the clock, and the next one never has to set it back.
class WallClock {
public:
    using Clock = std::chrono::steady_clock;

    uint64_t at(Clock::time_point now) const;
    // Runs on from where it stands (no change when already running).
    void start(Clock::time_point now);
    // Stands still at the frame it has reached (no change when already stopped).
    void stop(Clock::time_point now);
    // Jumps to `frame`; `hold` keeps it there until the next buffer is taken.
    void moveTo(uint64_t frame, Clock::time_point now, bool hold);
    // A device took `frames` frames from `firstFrame` on.
    void bufferTaken(uint64_t firstFrame, uint64_t frames, Clock::time_point now);

private:
    static constexpr uint64_t unbounded = UINT64_MAX;

    uint64_t frame_ = 0;
    Clock::time_point time_{};
    uint64_t maxAdvance_ = unbounded;
    bool running_ = false;
};

// Frames played in a stretch of time, rounded down (0 for negative stretches).
uint64_t framesIn(std::chrono::nanoseconds duration);

// Copies `frames` frames of the track into `out` (interleaved stereo) from `cursor` on, going
// round from the track's end to its start without a gap; returns the frame that follows. An
// empty track gives silence.
uint64_t copyLooping(const MusicSamples& samples, uint64_t cursor, float* out, uint64_t frames);

// Makes the output asked for. `samples` must outlive it. A device that cannot be opened gives
// the silent wall clock instead, with one line on stderr.
std::unique_ptr<AudioOutput> makeAudioOutput(MusicOutput requested, const MusicSamples& samples);
