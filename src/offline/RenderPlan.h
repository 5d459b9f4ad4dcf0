#pragma once
// Where the frames of an offline render fall on the music, in whole sample frames, so that every
// frame's effect time comes from a music position exactly as in the live show.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

struct RenderPlan {
    int fps = 60;
    uint64_t fromSample = 0; // music position of the span's first frame
    int64_t firstFrame = 0;  // the first kept frame's place among the span's frames (a segment)
    uint64_t frameCount = 0; // kept frames
    uint64_t spanFrames = 0; // frames of the whole span, of which a segment keeps a part
    // Frames on the same grid between the show's start and the first kept frame: a render that
    // starts later draws them all, so that it starts from the state a render from the show's start
    // has there. Only the last `warmupFrames` of them are drawn in full; the others only for the
    // state they leave behind. Of those drawn in full, the last `screenFrames` (the warm-up asked
    // for) draw everything; the earlier ones, drawn for the pictures entries keep, leave out what
    // an entry draws on the screen where nothing drawn after it could read it.
    uint64_t historyFrames = 0;
    uint64_t warmupFrames = 0;
    uint64_t screenFrames = 0;
    bool endsWithMusic = false; // --to lies past the music's end, which ends the render instead

    // Music position of frame `index` counted from the first kept frame; earlier frames have
    // negative indices.
    uint64_t sampleOfFrame(int64_t index) const;
    // Sample frames of music that the kept frames span (frameCount / fps seconds).
    uint64_t audioSamples() const;
};

struct RenderSpanRequest {
    uint32_t startOffset = 0;     // the script's start offset (seconds, added unscaled)
    uint64_t musicLength = 0;     // sample frames; 0 without music
    std::optional<uint32_t> from; // effect times in milliseconds
    std::optional<uint32_t> to;
    uint32_t warmup = 0;
    int fps = 60;
    int segment = 1; // the segment-th (from 1) of `segments` equal frame ranges of the span
    int segments = 1;
};

// The plan, or the reason there is nothing sensible to render (in `problem`). `showEnd`, the
// earliest start of an end-of-show entry that can be active, ends a render without music and --to.
std::optional<RenderPlan> planRender(const RenderSpanRequest& request, std::string& problem,
                                     std::optional<uint32_t> showEnd = std::nullopt);

// The single frame of a shot at effect time `from`, after the warm-up a render from there draws
// (`to` is not used). Empty, with the reason, for a time the music never reaches.
std::optional<RenderPlan> planShot(const RenderSpanRequest& request, std::string& problem);

// The frames [first, end) of the segment-th (from 1) of `segments` equal ranges of a span.
inline std::pair<uint64_t, uint64_t> segmentFrames(uint64_t spanFrames, int segment, int segments) {
    // The products need more than 64 bits for a span beyond 2^64 / segments.
    using Wide = unsigned __int128;
    return {uint64_t(Wide(spanFrames) * uint64_t(segment - 1) / uint64_t(segments)),
            uint64_t(Wide(spanFrames) * uint64_t(segment) / uint64_t(segments))};
}

// The line a segment's render prints for people once it has planned:
// "segment K/N: frames A to B of a span of S frames".
std::string segmentSpanLine(const RenderPlan& plan, int segment, int segments);

// The music position of an effect time: the first sample frame whose effect time is `time`
// (as the live show computes it). Effect times before the start offset give 0.
uint64_t sampleOfEffectTime(uint32_t time, uint32_t startOffset);

// Seconds still to go at the rate so far; 0 before any frame is done.
double secondsLeft(uint64_t framesDone, uint64_t framesTotal, double secondsSoFar);
// "m:ss" (or "h:mm:ss") for a progress line.
std::string formatDuration(double seconds);
// "  12.3 fps  1:05 left": the rate so far and the time still to go, for a progress line.
std::string rateAndTimeLeft(uint64_t framesDone, uint64_t framesTotal, double secondsSoFar);
