#include "effects/ImageLayers.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "render/GLState.h"
#include "render/Random.h"

#include <array>
#include <string_view>

namespace Effekter {

namespace {

constexpr std::array<std::string_view, 11> modeWords = {
    "UP",       "DOWN",   "LEFT",       "RIGHT",         "UPCENTER",     "BEATUP",
    "BEATBACK", "RANDOM", "BEATCENTER", "STATICFADEOUT", "STATICFADEIN",
};

// Beat level above which the beat modes re-trigger.
constexpr float triggerBeat = 0.25f;

} // namespace

float windowProgress(const Effekt& effect, uint32_t time) {
    return float(time - effect.startTime) / float(effect.endTime - effect.startTime);
}

AlphaBlendImage::AlphaBlendImage(const EffectContext& context, int32_t start, int32_t end,
                                 const std::string& imagePath, const std::string& modeWord)
    : Effekt(start, end) {
    image.load(context.files.open(imagePath, ShowFileKind::Picture));
    name = imagePath;
    mode = modeFromWord(modeWord);
    if (mode == stillImage)
        debugLine(
            "AlphaBlendImage %s (start %i, end %i): unknown mode '%s', the image stands still",
            imagePath.c_str(), start, end, modeWord.c_str());
}

int32_t AlphaBlendImage::modeFromWord(const std::string& word) {
    for (size_t value = 0; value < modeWords.size(); ++value)
        if (modeWords[value] == word)
            return int32_t(value);
    return stillImage;
}

void AlphaBlendImage::registerTweaks(TweakRegistry& tweaks) {
    const int modeType = tweaks.defineEnum("Mode", {{UP, "UP"},
                                                    {DOWN, "DOWN"},
                                                    {LEFT, "LEFT"},
                                                    {RIGHT, "RIGHT"},
                                                    {UPCENTER, "UPCENTER"},
                                                    {BEATUP, "BEATUP"},
                                                    {BEATBACK, "BEATBACK"},
                                                    {RANDOM, "RANDOM"},
                                                    {STATICFADEOUT, "STATICFADEOUT"},
                                                    {STATICFADEIN, "STATICFADEIN"}});
    tweaks.addVariable(tweakBar, "Mode", modeType, &mode, "label='Mode'");
}

AlphaBlendImage::Placement AlphaBlendImage::placementAt(uint32_t time, float beat) {
    const float p = windowProgress(*this, time);
    const float beatScale = 1 + beat * beat * 0.125f;
    Placement at;
    switch (mode) {
    case UP:
        at.y = 2 - 4 * p;
        break;
    case DOWN:
        at.y = 4 * p - 2;
        break;
    case LEFT:
        at.x = 2 - 4 * p;
        break;
    case RIGHT:
        at.x = 4 * p - 2;
        break;
    case UPCENTER:
        at.y = 2 - 2 * p * p;
        break;
    case BEATUP:
        at.y = 2 - 4 * p;
        at.scale = beatScale;
        break;
    case BEATCENTER:
        at.scale = beatScale;
        break;
    case BEATBACK: {
        if (beat > triggerBeat) {
            lastTrigger = time;
            at.angle = randomUnit() * 5 - 2.5f;
        }
        const float rise = (2 - 4 * p) * 0.5f;
        at.y = rise * rise + 0.5f;
        at.scale = 1 - float(time - lastTrigger) * 0.25f / 100;
        break;
    }
    case RANDOM:
        if (beat > triggerBeat && time - lastTrigger > 200)
            lastTrigger = time;
        // Seeding with the trigger time keeps position and angle fixed between triggers.
        prng::seed(lastTrigger);
        at.x = randomUnit() - 0.5f;
        at.y = randomUnit() - 0.5f;
        at.angle = randomUnit() * 90 - 45;
        at.scale = 1 - float(time - lastTrigger) * 0.125f / 200;
        break;
    case STATICFADEOUT:
        at.alpha = 1 - p;
        break;
    case STATICFADEIN:
        at.alpha = p;
        break;
    default:
        break;
    }
    return at;
}

void AlphaBlendImage::draw(uint32_t time, float beat) {
    OrthoView flat;
    MatrixPush push;
    const Placement at = placementAt(time, beat);
    glTranslatef(at.x, at.y, -2);
    rotateByDegrees(Vec3(at.angle, at.angle, at.angle));
    TextureBinding binding(image);
    CTransparency blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(at.alpha, at.alpha, at.alpha, at.alpha);
    Quad(at.scale, at.scale).draw(1, 1); // at scale 1 the image fills the screen
}

void FlashWhite::draw(uint32_t time, float) {
    const float level = 1 - windowProgress(*this, time);
    OrthoView flat;
    MatrixPush push;
    glTranslatef(0, 0, -2);
    CTransparency additive(GL_ONE, GL_ONE);
    glColor4f(level, level, level, level);
    // Texture 0 is bound, so the quad is plain white scaled by the level.
    Quad(1, 1).draw(1, 1);
}

void EndDemo::draw(uint32_t, float) { throw ShowEnded("End of show"); }

} // namespace Effekter
