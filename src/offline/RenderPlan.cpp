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

// Frames on the render's grid that cover `warmup` milliseconds.
uint64_t warmupFramesFor(uint32_t warmup, int fps) {
    return ceilDivide(uint64_t(warmup) * uint64_t(fps), 1000);
}

// The frames on the plan's grid before its first kept frame that are no earlier than the show's
// start (the music at the start offset), or the music's start for a span that begins before that.
uint64_t historyFramesOf(const RenderPlan& plan, uint32_t startOffset) {
    const uint64_t showStart = uint64_t(startOffset) * musicSampleRate;
    const uint64_t first = plan.sampleOfFrame(0);
    const uint64_t earliest = plan.fromSample < showStart ? 0 : showStart;
    // sampleOfFrame(-k) = first - ceil(k * rate / fps) reaches `earliest` while k * rate is at
    // most (first - earliest) * fps.
    return (first - earliest) * uint64_t(plan.fps) / musicSampleRate;
}

} // namespace

uint64_t RenderPlan::sampleOfFrame(int64_t index) const {
    return uint64_t(int64_t(fromSample) + floorDivide((firstFrame + index) * musicSampleRate, fps));
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
    } else if (request.musicLength == 0 && !showEnd) {
        problem = "There is no music to end the render: give --to";
        return std::nullopt;
    }
    if (showEnd) {
        // The end-of-show entry ends the span: frames after it are never kept.
        const uint64_t ended = sampleOfEffectTime(*showEnd + 1, request.startOffset);
        if (request.musicLength == 0 && !request.to)
            endSample = ended;
        else if (ended > plan.fromSample)
            endSample = std::min(endSample, ended);
    }
    if (endSample <= plan.fromSample) {
        problem = "Nothing to render: the span ends before it starts (the music is " +
                  formatText("%.3f", double(request.musicLength) / musicSampleRate) +
                  " seconds long)";
        return std::nullopt;
    }
    plan.spanFrames =
        ceilDivide((endSample - plan.fromSample) * uint64_t(plan.fps), musicSampleRate);
    if (request.segments < 1 || request.segment < 1 || request.segment > request.segments) {
        problem = formatText("There is no segment %d of %d", request.segment, request.segments);
        return std::nullopt;
    }
    if (uint64_t(request.segments) > plan.spanFrames) {
        problem = formatText("The span has %llu frames, too few for %d segments",
                             (unsigned long long)plan.spanFrames, request.segments);
        return std::nullopt;
    }
    const auto [first, end] = segmentFrames(plan.spanFrames, request.segment, request.segments);
    plan.firstFrame = int64_t(first);
    plan.frameCount = end - first;
    // The live show starts fresh at its start; a later first frame draws the show before it.
    plan.historyFrames = historyFramesOf(plan, request.startOffset);
    plan.warmupFrames = std::min(plan.historyFrames, warmupFramesFor(request.warmup, plan.fps));
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
    plan.spanFrames = 1;
    if (request.musicLength > 0 && plan.fromSample >= request.musicLength) {
        const double lastSecond = double(request.musicLength - 1) / musicSampleRate;
        problem = formatText("--shot %u is after the music's end (its last effect time is %u)",
                             time, effectTimeAt(lastSecond, request.startOffset));
        return std::nullopt;
    }
    plan.historyFrames = historyFramesOf(plan, request.startOffset);
    plan.warmupFrames = std::min(plan.historyFrames, warmupFramesFor(request.warmup, plan.fps));
    return plan;
}

std::string segmentSpanLine(const RenderPlan& plan, int segment, int segments) {
    return formatText("segment %d/%d: frames %llu to %llu of a span of %llu frames", segment,
                      segments, (unsigned long long)plan.firstFrame,
                      (unsigned long long)(uint64_t(plan.firstFrame) + plan.frameCount),
                      (unsigned long long)plan.spanFrames);
}

double secondsLeft(uint64_t framesDone, uint64_t framesTotal, double secondsSoFar) {
    if (framesDone == 0 || framesDone >= framesTotal)
        return 0;
    return secondsSoFar / double(framesDone) * double(framesTotal - framesDone);
}

std::string rateAndTimeLeft(uint64_t framesDone, uint64_t framesTotal, double secondsSoFar) {
    return formatText("  %5.1f fps  %s left", double(framesDone) / secondsSoFar,
                      formatDuration(secondsLeft(framesDone, framesTotal, secondsSoFar)).c_str());
}

std::string formatDuration(double seconds) {
    const auto whole = int64_t(std::lround(std::max(0.0, seconds)));
    const int64_t hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
    if (hours > 0)
        return formatText("%lld:%02lld:%02lld", (long long)hours, (long long)minutes,
                          (long long)rest);
    return formatText("%lld:%02lld", (long long)minutes, (long long)rest);
}
