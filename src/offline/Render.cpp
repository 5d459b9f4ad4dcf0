#include "offline/Render.h"

#include "audio/MusicStream.h"
#include "offline/FramePipeline.h"
#include "offline/FrameSinks.h"
#include "offline/LeadIn.h"
#include "offline/OfflineFrame.h"
#include "offline/OffscreenWindow.h"
#include "offline/PixelReadback.h"
#include "offline/PlannedMusic.h"
#include "offline/ProgressLine.h"
#include "platform/Error.h"
#include "render/GL.h"
#include "timeline/Show.h"

#include <cstdio>

namespace {

// Two of each: the drawing runs ahead of the writer by at most four frames. Each is a frame in
// memory (3.7 MB at 1280x720); the writer needs a third of a frame's drawing time for its work.
constexpr int pixelBuffersInFlight = 2;
constexpr int framesQueuedForWriter = 2;

struct Timings {
    double leadIn = 0; // the frames before the first kept one
    double drawing = 0;
    double readingBack = 0;
};

void printSummary(const RenderPlan& plan, uint64_t kept, double seconds, const Timings& timings,
                  const FramePipeline& pipeline, const FrameSink& sink) {
    const double perKept = kept > 0 ? 1000.0 / double(kept) : 0;
    std::fprintf(stderr,
                 "Rendered %llu frames (%.3f s of show at %d fps) in %.2f s: %.1f frames per "
                 "second\n",
                 (unsigned long long)kept, double(kept) / plan.fps, plan.fps, seconds,
                 seconds > 0 ? double(kept) / seconds : 0.0);
    if (plan.historyFrames > 0)
        std::fprintf(stderr,
                     "Lead-in: %llu frames from the show's start (the last %llu drawn in full) "
                     "in %.2f s\n",
                     (unsigned long long)plan.historyFrames, (unsigned long long)plan.warmupFrames,
                     timings.leadIn);
    std::fprintf(stderr,
                 "Per frame: drawing %.2f ms, reading back %.2f ms, waiting for the writer "
                 "%.2f ms; writing %.2f ms on its own thread\n",
                 timings.drawing * perKept, timings.readingBack * perKept,
                 pipeline.waitSeconds() * perKept, pipeline.consumerSeconds() * perKept);
    std::fprintf(stderr, "Wrote %s\n", sink.describe().c_str());
}

} // namespace

RenderPlan renderShow(const RenderRequest& request, Show& show, OffscreenWindow& target,
                      FrameSink& sink, RenderObserver* observer) {
    MusicStream music(show.music().samples(), MusicOutput::Manual);
    RenderPlan plan = planOfRequest(request, music, show.startOffset(), show.endTime());
    if (observer)
        observer->planned(plan);
    planLeadIn(plan, show);
    keepPlannedMusic(music, plan);
    sink.setAudio(musicOfSpan(music, plan));

    glClearColor(0, 0, 0, 0);
    FramePipeline pipeline(target.frameBytes(), framesQueuedForWriter,
                           [&sink](const uint8_t* frame) { sink.write(frame); });
    PixelReadback readback(target, pixelBuffersInFlight);
    ProgressLine progress(plan.frameCount);
    Timings timings;
    uint64_t kept = 0;
    auto handOver = [&](bool oldestInFlight) {
        uint8_t* frame = pipeline.acquire();
        const auto start = Clock::now();
        if (oldestInFlight)
            readback.finishOldest(frame);
        else
            target.read(frame, GL_RGBA);
        timings.readingBack += secondsBetween(start, Clock::now());
        pipeline.submit(frame);
        progress.kept(++kept);
        if (observer)
            observer->kept(kept);
    };

    const auto leadInStart = Clock::now();
    bool showEnded = !drawLeadIn(
        plan, music, show, [&](uint64_t done, uint64_t total) { progress.warmingUp(done, total); });
    timings.leadIn = secondsBetween(leadInStart, Clock::now());
    progress.startKeeping();
    for (int64_t index = 0; index < int64_t(plan.frameCount) && !showEnded; ++index) {
        const auto start = Clock::now();
        showEnded = !drawOfflineFrame(music, show, plan.sampleOfFrame(index));
        if (request.verbose)
            glFinish();
        timings.drawing += secondsBetween(start, Clock::now());
        if (showEnded)
            break;
        if (!readback.asynchronous()) {
            handOver(false);
            continue;
        }
        if (readback.full())
            handOver(true);
        const auto readStart = Clock::now();
        readback.start();
        timings.readingBack += secondsBetween(readStart, Clock::now());
    }
    while (!readback.empty())
        handOver(true);
    pipeline.drain();
    progress.end();
    if (kept == 0)
        raise("The show ended (%s) before the first frame to keep", endOfShowEntry);
    sink.finish();
    printSummary(plan, kept, progress.seconds(), timings, pipeline, sink);
    return plan;
}
