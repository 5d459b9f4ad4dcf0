#include "offline/PlannedMusic.h"

#include "audio/MusicStream.h"
#include "platform/Error.h"

#include <algorithm>
#include <cstdio>
#include <string>

RenderPlan planOfRequest(const RenderRequest& request, const MusicStream& music, uint32_t offset,
                         std::optional<uint32_t> showEnd) {
    std::string problem;
    const std::optional<RenderPlan> planned =
        planRender({offset, music.lengthFrames(), request.from, request.to, request.warmup,
                    request.fps, std::max(1, request.segment), std::max(1, request.segmentCount)},
                   problem, showEnd);
    if (!planned)
        throw ShowError(problem);
    if (planned->endsWithMusic)
        std::fprintf(stderr,
                     "--to %u is past the end of the music, which is %.3f seconds long: "
                     "the render ends with the music\n",
                     *request.to, double(music.lengthFrames()) / musicSampleRate);
    if (request.segment > 0)
        std::fprintf(stderr, "%s\n",
                     segmentSpanLine(*planned, request.segment, request.segmentCount).c_str());
    return *planned;
}

void keepPlannedMusic(MusicStream& music, const RenderPlan& plan) {
    const uint64_t lastFrame = plan.sampleOfFrame(int64_t(plan.frameCount) - 1);
    music.keepOnly(plan.sampleOfFrame(-int64_t(plan.historyFrames)),
                   std::max(lastFrame, plan.fromSample + plan.audioSamples()));
}

MusicStretch musicOfSpan(const MusicStream& music, const RenderPlan& plan) {
    const uint64_t length = music.lengthFrames();
    const uint64_t first = std::min(length, plan.fromSample);
    return {&music.samples(), first, std::min(length - first, plan.audioSamples())};
}
