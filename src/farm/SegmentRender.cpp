#include "farm/SegmentRender.h"

#include "farm/ProgressFile.h"
#include "farm/SegmentManifest.h"
#include "farm/ShowIdentity.h"
#include "offline/OffscreenWindow.h"
#include "offline/Render.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Keeps the progress file up to date: at the plan, at the last frame, and in between as often as
// the render in segments looks at it.
class ProgressFileWriter : public RenderObserver {
public:
    explicit ProgressFileWriter(std::string path) : path_(std::move(path)) {}

    void planned(const RenderPlan& plan) override {
        progress_ = {plan.spanFrames, 0};
        frames_ = plan.frameCount;
        write();
    }
    void kept(uint64_t frames) override {
        progress_.keptFrames = frames;
        if (frames == frames_ || Clock::now() - written_ >= interval)
            write();
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto interval = std::chrono::milliseconds(250);

    void write() {
        writeProgressFile(path_, progress_);
        written_ = Clock::now();
    }

    std::string path_;
    SegmentProgress progress_;
    uint64_t frames_ = 0; // the segment's
    Clock::time_point written_;
};

} // namespace

RenderPlan renderSegment(const RenderRequest& request, Show& show, OffscreenWindow& target,
                         FrameSink& sink) {
    // The manifest names the show as it was when the render began.
    const ShowIdentity identity = identifyShow(request.reach);
    std::optional<ProgressFileWriter> progress;
    if (const char* path = std::getenv(progressFileVariable); path && *path)
        progress.emplace(path);
    const RenderPlan plan =
        renderShow(request, show, target, sink, progress ? &*progress : nullptr);
    writeManifest(manifestPathOf(request.videoFile),
                  manifestOf(identity, request, target.width(), target.height(), plan));
    return plan;
}
