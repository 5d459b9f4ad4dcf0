#include "offline/LeadIn.h"

#include "audio/MusicStream.h"
#include "offline/OfflineFrame.h"
#include "render/GL.h"
#include "render/GLState.h"
#include "timeline/Show.h"
#include "timeline/ShowFrame.h"

#include <algorithm>
#include <iterator>

namespace {

uint32_t timeOfFrame(const RenderPlan& plan, int64_t index, uint32_t startOffset) {
    return effectTimeAt(double(plan.sampleOfFrame(index)) / musicSampleRate, startOffset);
}

// How many frames before frame `index` the entry has been active without a break (within the
// plan's history).
uint64_t framesActiveBefore(const Effekt& effect, const RenderPlan& plan, int64_t index,
                            uint32_t startOffset) {
    uint64_t frames = 0;
    while (index - int64_t(frames) > -int64_t(plan.historyFrames) &&
           effect.isActiveAt(timeOfFrame(plan, index - int64_t(frames) - 1, startOffset)))
        ++frames;
    return frames;
}

// Frames back from the first kept frame to the first frame of every entry that keeps pictures and
// is active in any of the frames [from, 0].
uint64_t picturesReachBack(const RenderPlan& plan, const EffectList& effects, int64_t from,
                           uint32_t startOffset) {
    uint64_t reach = 0;
    for (const auto& effect : effects) {
        if (!effect->keepsPictures)
            continue;
        for (int64_t index = from; index <= 0; ++index)
            if (effect->isActiveAt(timeOfFrame(plan, index, startOffset))) {
                const uint64_t start =
                    uint64_t(-index) + framesActiveBefore(*effect, plan, index, startOffset);
                reach = std::max(reach, start);
                break;
            }
    }
    return std::min(reach, plan.historyFrames);
}

// Whether the frame clear reaches the whole of the window's colour and depth buffers.
bool clearReachesWholeWindow() {
    GLboolean colour[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    GLboolean depth = GL_TRUE;
    glGetBooleanv(GL_COLOR_WRITEMASK, colour);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth);
    return !glIsEnabled(GL_SCISSOR_TEST) && colour[0] && colour[1] && colour[2] && colour[3] &&
           depth;
}

// While it lasts, every GL call takes effect on the state but nothing is drawn: conditional
// rendering on a query that counted no samples drops every draw and clear before the driver does
// any work on it, vertex processing included, while the state and the driver's own record of the
// vertices it was given move on as in a drawn frame. Rasteriser discard (selection mode where it
// is missing) keeps anything conditional rendering does not cover, or a driver without it, from
// reaching a buffer.
class NothingDrawn {
public:
    NothingDrawn() {
        if (rasteriserDiscardAvailable())
            glEnable(GL_RASTERIZER_DISCARD);
        else
            enterSelectionMode();
        if (GLEW_VERSION_3_0 || GLEW_NV_conditional_render) {
            glGenQueries(1, &noSamples);
            glBeginQuery(GL_SAMPLES_PASSED, noSamples);
            glEndQuery(GL_SAMPLES_PASSED);
            if (GLEW_VERSION_3_0)
                glBeginConditionalRender(noSamples, GL_QUERY_WAIT);
            else
                glBeginConditionalRenderNV(noSamples, GL_QUERY_WAIT_NV);
        }
    }
    ~NothingDrawn() {
        if (noSamples != 0) {
            if (GLEW_VERSION_3_0)
                glEndConditionalRender();
            else
                glEndConditionalRenderNV();
            glDeleteQueries(1, &noSamples);
        }
        if (rasteriserDiscardAvailable())
            glDisable(GL_RASTERIZER_DISCARD);
        else
            glRenderMode(GL_RENDER);
    }
    NothingDrawn(const NothingDrawn&) = delete;
    NothingDrawn& operator=(const NothingDrawn&) = delete;

private:
    GLuint noSamples = 0;

    static void enterSelectionMode() {
        // Selection mode records hits only around names pushed on its name stack; none are.
        static GLuint hits[64];
        glSelectBuffer(GLsizei(std::size(hits)), hits);
        glRenderMode(GL_SELECT);
    }
};

// While it lasts, the flag `flag` of every entry holds what `mark` says of it, asked from the
// last entry drawn in a frame to the first; it is false again afterwards.
class EntriesMarked {
public:
    template <typename Mark>
    EntriesMarked(EffectList& effects, bool Effekt::*flag, Mark mark)
        : effects(effects), flag(flag) {
        for (auto effect = effects.rbegin(); effect != effects.rend(); ++effect)
            (**effect).*flag = mark(**effect);
    }
    ~EntriesMarked() {
        for (const auto& effect : effects)
            (*effect).*flag = false;
    }
    EntriesMarked(const EntriesMarked&) = delete;
    EntriesMarked& operator=(const EntriesMarked&) = delete;

private:
    EffectList& effects;
    bool Effekt::*flag;
};

// The entries that end before effect time `time`, and those that keep no pictures from frame to
// frame, are drawn with their pictures unseen.
EntriesMarked picturesUnseen(EffectList& effects, uint32_t time) {
    return {effects, &Effekt::picturesUnseen, [time](const Effekt& effect) {
                return effect.endTime <= time || !effect.keepsPictures;
            }};
}

// In a frame at effect time `time` drawn for the pictures entries keep (`forPicturesAlone`), an
// entry draws an unseen screen unless an entry drawn after it keeps pictures of its own, which it
// might make from the screen.
EntriesMarked screensUnseen(EffectList& effects, uint32_t time, bool forPicturesAlone) {
    return {effects, &Effekt::screenUnseen,
            [=, laterKeepsPictures = false](const Effekt& effect) mutable {
                const bool unseen = forPicturesAlone && !laterKeepsPictures;
                laterKeepsPictures |= effect.keepsPictures && effect.isActiveAt(time);
                return unseen;
            }};
}

uint32_t millisecondsOf(uint64_t frames, int fps) {
    return uint32_t(std::min<uint64_t>(UINT32_MAX, (frames * 1000 + uint64_t(fps) - 1) / fps));
}

} // namespace

void planLeadIn(RenderPlan& plan, const Show& show) {
    plan.screenFrames = std::min(plan.warmupFrames, plan.historyFrames);
    if (plan.historyFrames == 0)
        plan.warmupFrames = 0;
    else
        plan.warmupFrames = std::max(
            plan.warmupFrames, picturesReachBack(plan, show.effects(), 0, show.startOffset()));
}

LeadInTooShort::LeadInTooShort(uint32_t warmup, uint32_t since)
    : ShowError(formatText("The window's buffers at the first frame still hold drawing from "
                           "effect time %u on (a frame clear that does not reach them all)",
                           since)),
      warmup_(warmup) {}

bool drawLeadIn(const RenderPlan& plan, MusicStream& music, Show& show,
                const std::function<void(uint64_t, uint64_t)>& progress) {
    EffectList& effects = show.effects();
    const uint32_t startOffset = show.startOffset();
    const auto history = int64_t(plan.historyFrames);
    const auto full = int64_t(std::min(plan.warmupFrames, plan.historyFrames));
    const auto seen = std::min(full, int64_t(plan.screenFrames));
    int64_t lastWholeClear = -history; // the window starts as fresh as a render's
    int64_t index = -history;
    // Draws the frames up to (not including) `end`; false when the show ended among them.
    const auto drawFramesUpTo = [&](int64_t end, bool inFull) {
        for (; index < end; ++index) {
            if (clearReachesWholeWindow())
                lastWholeClear = index;
            const uint64_t sample = plan.sampleOfFrame(index);
            const EntriesMarked screens = screensUnseen(
                effects, timeOfFrame(plan, index, startOffset), inFull && index < -seen);
            if (!(inFull ? drawWarmupFrame(music, show, sample)
                         : drawOfflineFrame(music, show, sample)))
                return false;
            progress(uint64_t(index + history + 1), uint64_t(history));
        }
        return true;
    };
    if (index < -full) {
        // State frames: the very calls of a drawn frame, frame clear included, with nothing
        // drawn. Besides the state they leave, the stream of vertices drawn one by one (glBegin
        // to glEnd) must be that of a render from the show's start, since where the driver
        // splits that stream into batches can change the last bit of a pixel many frames later.
        // The window's buffers at the first kept frame hold nothing of these frames when that
        // frame's clear reaches them all; otherwise the lead-in asks for more frames in full.
        NothingDrawn nothingDrawn;
        const EntriesMarked endedBeforeDrawingInFull =
            picturesUnseen(effects, timeOfFrame(plan, -full, startOffset));
        if (!drawFramesUpTo(-full, false))
            return false;
    }
    if (!drawFramesUpTo(0, true))
        return false;
    if (history == 0 || clearReachesWholeWindow() || lastWholeClear >= -seen)
        return true;
    // The first frame draws over what the frames since the last whole clear left: all of them,
    // and the pictures their entries keep, must be drawn in full, their screens too.
    const uint64_t needed = std::max(uint64_t(-lastWholeClear),
                                     picturesReachBack(plan, effects, lastWholeClear, startOffset));
    throw LeadInTooShort(millisecondsOf(needed, plan.fps),
                         timeOfFrame(plan, lastWholeClear, startOffset));
}
