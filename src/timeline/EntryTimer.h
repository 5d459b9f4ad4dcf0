#pragma once
// What each script entry costs to draw: every active entry's draw is finished (glFinish) and
// timed on the wall clock and in the process's CPU time, which counts the rasteriser's threads.
// The offline profile reads them; a live overlay can read the same.

#include "effekt/Effekt.h"

#include <cstdint>
#include <vector>

struct EntryCost {
    uint64_t frames = 0; // frames in which the entry drew
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

// CPU and wall time of a stretch of work, both in seconds.
struct Stopwatch {
    Stopwatch();
    double cpuSeconds() const;
    double wallSeconds() const;

private:
    double cpuStart_, wallStart_;
};

class EntryTimer {
public:
    explicit EntryTimer(size_t entries) : costs_(entries) {}

    // Draws the active effects first to last like drawActiveEffects, each finished and timed.
    // An exception from an effect's draw (the end of the show) leaves its time counted.
    void drawActive(EffectList& effects, uint32_t time, float beat);
    // Clears the frame like clearFrame, finished and timed.
    void clear();
    const std::vector<EntryCost>& costs() const { return costs_; }
    const EntryCost& clears() const { return clears_; }
    void reset() {
        costs_.assign(costs_.size(), EntryCost{});
        clears_ = {};
    }

private:
    std::vector<EntryCost> costs_;
    EntryCost clears_;
};

// Clears and finishes `frames` empty frames of the current size, timed together.
EntryCost measureEmptyFrames(uint64_t frames);
