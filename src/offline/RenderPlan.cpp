#include "offline/RenderPlan.h"

#include "audio/MusicStream.h"
#include "platform/Error.h"
#include "timeline/ShowFrame.h"

#include <algorithm>
#include <cmath>

namespace {

int64_t floorDivide(int64_t numerator, int64_t denominator) {
    const int64_t quotient = numerator / denominator;
    return (numerator % denominator != 0 && (numerator < 0) != (denominator < 0)) ? quotient - 1
                                                                                  : quotient;
}

uint64_t ceilDivide(uint64_t numerator, uint64_t denominator) {
    return (numerator + denominator - 1) / denominator;
}

// Frames on the render's grid before `fromSample` that cover `warmup` milliseconds, never
// reaching before the music's start.
uint64_t warmupFramesBefore(uint64_t fromSample, uint32_t warmup, int fps) {
    const uint64_t wanted = ceilDivide(uint64_t(warmup) * uint64_t(fps), 1000);
    const uint64_t possible = fromSample * uint64_t(fps) / musicSampleRate;
    return std::min(wanted, possible);
}

} // namespace

uint64_t RenderPlan::sampleOfFrame(int64_t index) const {
    return uint64_t(int64_t(fromSample) + floorDivide(index * musicSampleRate, fps));
}

uint64_t RenderPlan::audioSamples() const {
    return (frameCount * musicSampleRate + uint64_t(fps) / 2) / uint64_t(fps);
}

uint64_t sampleOfEffectTime(uint32_t time, uint32_t startOffset) {
    if (time <= startOffset)
        return 0;
    // The effect time of a position p is floor(p * 1000 / rate) + startOffset: the first p that
    // reaches `time` is ceil((time - startOffset) * rate / 1000).
    uint64_t sample = ceilDivide(uint64_t(time - startOffset) * musicSampleRate, 1000);
    // Guard against the floating-point step of the effect time landing one millisecond short.
    while (effectTimeAt(double(sample) / musicSampleRate, startOffset) < time)
        ++sample;
    return sample;
}

std::optional<RenderPlan> planRender(const RenderSpanRequest& request, std::string& problem,
                                     std::optional<uint32_t> showEnd) {
    RenderPlan plan;
    plan.fps = request.fps;
    const uint32_t earliest = request.startOffset;
    if (request.from && *request.from < earliest) {
        problem = formatText("--from %u is before the show's earliest effect time %u",
                             *request.from, earliest);
        return std::nullopt;
    }
    // The live show starts with the music at the start offset, read as seconds.
    plan.fromSample = request.from ? sampleOfEffectTime(*request.from, request.startOffset)
                                   : uint64_t(request.startOffset) * musicSampleRate;
    uint64_t endSample = request.musicLength;
    if (request.to) {
        const uint64_t wanted = sampleOfEffectTime(*request.to, request.startOffset);
        plan.endsWithMusic = request.musicLength != 0 && wanted > request.musicLength;
        if (!plan.endsWithMusic)
            endSample = wanted;
    } else if (request.musicLength == 0) {
        if (!showEnd) {
            problem = "There is no music to end the render: give --to";
            return std::nullopt;
        }
        // Far enough for a frame inside the entry's window, which ends the render.
        endSample = sampleOfEffectTime(*showEnd + 1, request.startOffset) +
                    musicSampleRate / uint64_t(request.fps) + 1;
    }
    if (endSample <= plan.fromSample) {
        problem = "Nothing to render: the span ends before it starts (the music is " +
                  formatText("%.3f", double(request.musicLength) / musicSampleRate) +
                  " seconds long)";
        return std::nullopt;
    }
    plan.frameCount =
        ceilDivide((endSample - plan.fromSample) * uint64_t(plan.fps), musicSampleRate);
    // The live show starts fresh at its start; a later first frame gets warm-up frames.
    if (request.from)
        plan.warmupFrames = warmupFramesBefore(plan.fromSample, request.warmup, plan.fps);
    return plan;
}

std::optional<RenderPlan> planShot(const RenderSpanRequest& request, std::string& problem) {
    const uint32_t time = request.from.value_or(request.startOffset);
    if (time < request.startOffset) {
        problem = formatText("--shot %u is before the show's earliest effect time %u", time,
                             request.startOffset);
        return std::nullopt;
    }
    RenderPlan plan;
    plan.fps = request.fps;
    plan.fromSample = sampleOfEffectTime(time, request.startOffset);
    plan.frameCount = 1;
    if (request.musicLength > 0 && plan.fromSample >= request.musicLength) {
        const double lastSecond = double(request.musicLength - 1) / musicSampleRate;
        problem = formatText("--shot %u is after the music's end (its last effect time is %u)",
                             time, effectTimeAt(lastSecond, request.startOffset));
        return std::nullopt;
    }
    plan.warmupFrames = warmupFramesBefore(plan.fromSample, request.warmup, plan.fps);
    return plan;
}

double secondsLeft(uint64_t framesDone, uint64_t framesTotal, double secondsSoFar) {
    if (framesDone == 0 || framesDone >= framesTotal)
        return 0;
    return secondsSoFar / double(framesDone) * double(framesTotal - framesDone);
}

std::string formatDuration(double seconds) {
    const auto whole = int64_t(std::lround(std::max(0.0, seconds)));
    const int64_t hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
    if (hours > 0)
        return formatText("%lld:%02lld:%02lld", (long long)hours, (long long)minutes,
                          (long long)rest);
    return formatText("%lld:%02lld", (long long)minutes, (long long)rest);
}
