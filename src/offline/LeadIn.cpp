#include "offline/LeadIn.h"

#include "audio/MusicStream.h"
#include "offline/OfflineRender.h"
#include "platform/StopSignals.h"
#include "render/GL.h"
#include "render/RenderTarget.h"
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

void enterSelectionMode() {
    // Selection mode records hits only around names pushed on its name stack; none are.
    static GLuint hits[64];
    glSelectBuffer(GLsizei(std::size(hits)), hits);
    glRenderMode(GL_SELECT);
}

// Calls each active entry as a frame at the music's position would, in selection mode: entries
// that can bring their state forward without drawing do so when `advancing`, the others draw.
bool drawForState(const MusicStream& music, EffectList& effects, uint32_t startOffset,
                  bool advancing) {
    const uint32_t time = effectTimeAt(music.positionSeconds(), startOffset);
    float spectrum[spectrumSize];
    music.spectrum(spectrum);
    const float beat = beatLevel(spectrum);
    for (const auto& effect : effects)
        if (effect->isActiveAt(time) && !(advancing && effect->advanceWithoutDrawing(time, beat)))
            effect->draw(time, beat);
    return true;
}

// A frame drawn only for the state it leaves behind. The frame clear is real, so the window's
// buffers are as a render has them wherever the clear reaches them.
bool drawStateFrame(MusicStream& music, EffectList& effects, uint32_t startOffset, uint64_t sample,
                    bool advancing) {
    throwIfStopped("Render interrupted");
    music.setPosition(int64_t(sample));
    clearFrame();
    enterSelectionMode();
    bool going = true;
    try {
        drawForState(music, effects, startOffset, advancing);
    } catch (const ShowEnded&) {
        going = false;
    } catch (...) {
        glRenderMode(GL_RENDER);
        throw;
    }
    glRenderMode(GL_RENDER);
    bindWindowFramebuffer(); // an entry may have stopped in the middle of its drawing
    return going;
}

// Whether frames `index` and `index + 1` have the same entries active.
bool sameEntriesNext(const RenderPlan& plan, const EffectList& effects, int64_t index,
                     uint32_t startOffset) {
    const uint32_t now = timeOfFrame(plan, index, startOffset);
    const uint32_t next = timeOfFrame(plan, index + 1, startOffset);
    return std::all_of(effects.begin(), effects.end(), [&](const auto& effect) {
        return effect->isActiveAt(now) == effect->isActiveAt(next);
    });
}

uint32_t millisecondsOf(uint64_t frames, int fps) {
    return uint32_t(std::min<uint64_t>(UINT32_MAX, (frames * 1000 + uint64_t(fps) - 1) / fps));
}

} // namespace

uint64_t fullLeadInFrames(const RenderPlan& plan, const EffectList& effects, uint32_t startOffset) {
    if (plan.historyFrames == 0)
        return 0;
    return std::max(plan.warmupFrames, picturesReachBack(plan, effects, 0, startOffset));
}

LeadInTooShort::LeadInTooShort(uint32_t warmup, uint32_t since)
    : ShowError(formatText("The window's buffers at the first frame still hold drawing from "
                           "effect time %u on (a frame clear that does not reach them all)",
                           since)),
      warmup_(warmup) {}

bool drawLeadIn(const RenderPlan& plan, MusicStream& music, EffectList& effects,
                uint32_t startOffset, const std::function<void(uint64_t, uint64_t)>& progress) {
    const auto history = int64_t(plan.historyFrames);
    const auto full = int64_t(std::min(plan.warmupFrames, plan.historyFrames));
    int64_t lastWholeClear = -history; // the window starts as fresh as a render's
    for (int64_t index = -history; index < 0; ++index) {
        if (clearReachesWholeWindow())
            lastWholeClear = index;
        const uint64_t sample = plan.sampleOfFrame(index);
        // The last frame before the entries change (or the frames drawn in full begin) is drawn
        // whole, so the state they leave is set by every entry as in a render.
        const bool advancing =
            index + 1 < -full && sameEntriesNext(plan, effects, index, startOffset);
        const bool going = index < -full
                               ? drawStateFrame(music, effects, startOffset, sample, advancing)
                               : drawWarmupFrame(music, effects, startOffset, sample);
        if (!going)
            return false;
        progress(uint64_t(index + history + 1), uint64_t(history));
    }
    if (history == 0 || clearReachesWholeWindow() || lastWholeClear >= -full)
        return true;
    // The first frame draws over what the frames since the last whole clear left: all of them,
    // and the pictures their entries keep, must be drawn in full.
    const uint64_t needed = std::max(uint64_t(-lastWholeClear),
                                     picturesReachBack(plan, effects, lastWholeClear, startOffset));
    throw LeadInTooShort(millisecondsOf(needed, plan.fps),
                         timeOfFrame(plan, lastWholeClear, startOffset));
}
