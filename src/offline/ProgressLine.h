#pragma once
// The line on standard error that tells how far a render or a profile has come: the lead-in's
// frames, then the kept frames with their rate and the time still to go, redrawn a few times a
// second.

#include "offline/WallClock.h"

#include <cstdint>

class ProgressLine {
public:
    // `total`: the frames to keep.
    explicit ProgressLine(uint64_t total);
    // Ends the progress line also when an error cuts the render short, so the message that
    // follows starts on a line of its own.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void warmingUp(uint64_t done, uint64_t total);
    // The first kept frame starts now (after the lead-in).
    void startKeeping();
    // Shown when due, and always for the last frame.
    void kept(uint64_t done);
    void end();
    // Since the line was made.
    double seconds() const;

private:
    bool due();

    uint64_t total_;
    Clock::time_point start_, last_, keptStart_;
    bool printed_ = false;
};
