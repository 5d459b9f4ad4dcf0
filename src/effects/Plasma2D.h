#pragma once
// A plasma drawn by a fragment shader over a water image; a seed chooses its sixteen wave
// parameters, so the same seed always gives the same plasma.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Shader.h"
#include "render/Texture.h"

namespace Effekter {

class Plasma2D : public Effekt {
public:
    Plasma2D(const EffectContext& context, int32_t start, int32_t end, int32_t plasmaSeed);
    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;

private:
    CTextureFreeImage waterImage;
    FragmentProgram plasmaProgram;
    GLint timeLocation = -1;
    GLint dx0Location = -1;
    GLint dy0Location = -1;
    GLint dx1Location = -1;
    GLint dy1Location = -1;
    int32_t plasmaSeed;
    float waveA[4] = {};
    float waveB[4] = {};
    float waveC[4] = {};
    float waveD[4] = {};

    void refillWaves();
};

} // namespace Effekter
