#include "timeline/EntryTimer.h"

#include "render/GL.h"
#include "timeline/ShowFrame.h"

#include <chrono>
#include <ctime>

namespace {

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double wallClockSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

Stopwatch::Stopwatch() : cpuStart_(processCpuSeconds()), wallStart_(wallClockSeconds()) {}
double Stopwatch::cpuSeconds() const { return processCpuSeconds() - cpuStart_; }
double Stopwatch::wallSeconds() const { return wallClockSeconds() - wallStart_; }

namespace {

// Runs the drawing finished and counts it into `cost`, also when it throws.
template <typename Drawing> void timeFinished(EntryCost& cost, Drawing drawing) {
    glFinish(); // nothing drawn before is left to count here
    const Stopwatch watch;
    auto count = [&] {
        glFinish();
        ++cost.frames;
        cost.cpuSeconds += watch.cpuSeconds();
        cost.wallSeconds += watch.wallSeconds();
    };
    try {
        drawing();
    } catch (...) {
        count();
        throw;
    }
    count();
}

} // namespace

void EntryTimer::drawActive(EffectList& effects, uint32_t time, float beat) {
    for (size_t i = 0; i < effects.size(); ++i) {
        Effekt& effect = *effects[i];
        if (effect.isActiveAt(time))
            timeFinished(costs_.at(i), [&] { effect.draw(time, beat); });
    }
}

void EntryTimer::clear() { timeFinished(clears_, clearFrame); }

EntryCost measureEmptyFrames(uint64_t frames) {
    EntryCost cost;
    for (uint64_t i = 0; i < frames; ++i)
        timeFinished(cost, clearFrame);
    return cost;
}
