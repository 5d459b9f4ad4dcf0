#pragma once
// A ball of up to 512 flare-capped spikes spread evenly over a sphere, tumbling and jumping with
// the loud beats in front of a slowly zooming, turning background.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/QuadricObject.h"
#include "render/Shader.h"
#include "render/Texture.h"

namespace Effekter {

class NanoBall : public Effekt {
public:
    // Beat history shared by every NanoBall of the show: it decides the ball's depth and sideways
    // offset, so a later window goes on from where an earlier one left off.
    struct BeatState {
        bool started = false;       // false until the first draw of any NanoBall
        uint32_t lastBeatEvent = 0; // time of the last counted beat, milliseconds
        int32_t beatCount = 0;
        int32_t barCount = 0; // raised on every fourth beat
    };
    const BeatState& beatState() const { return sharedBeat_; }

    static constexpr int maxSpikes = 512;

    NanoBall(const EffectContext& context, int32_t start, int32_t end);

    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;

    // Exposed for tweaking only; drawing does not read them.
    float lightAmbient[4] = {0, 0, 0, 1};
    float lightDiffuse[4] = {0, 0, 0, 1};
    float lightSpecular[4] = {10, 10, 10, 1};
    float lightReflection[4] = {1, 1, 1, 1};
    float lightPosition[4] = {0, -8, 32, 1};

    // Time of the last frame whose beat was above 0.25.
    uint32_t lastLoudTime() const { return lastLoud; }
    // Spikes drawn at a time since the effect's start: one more per millisecond up to 512.
    static int spikeCount(uint32_t elapsed);
    // Brightness of everything drawn: follows the beat, fades out over the last seven seconds.
    float brightness(uint32_t time, float beat) const;

private:
    void drawBackground(uint32_t elapsed) const;
    // Counts a beat when a loud one comes more than 300 ms after the last one counted.
    void countBeatEvent(uint32_t time, float beat);
    // What a frame moves on before its spikes: the last loud time, the beat count and the random
    // sequence. Returns the number of spikes.
    int stepState(uint32_t time, float beat);
    void placeBall(uint32_t time, uint32_t elapsed) const;
    void drawSpikes(int count, float tf) const;

    CTextureFreeImage tubeImage;
    CTextureFreeImage flareImage;
    CTextureFreeImage backgroundImage;
    uint32_t lastLoud = 0;
    ShaderProgram spikeProgram;
    FragmentProgram bendProgram;
    QuadricObject tube;
    BeatState& sharedBeat_;
};

} // namespace Effekter
