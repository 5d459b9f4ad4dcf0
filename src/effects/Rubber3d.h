#pragma once
// The rubber model: an environment-mapped model twisted through 125 scissor strips over a slowly
// zooming background, thrown forward by every strong beat. The flash and background stage are
// shared with the shell suite, which shows the same model.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "model3ds/ModelMeshes.h"
#include "render/GLState.h"
#include "render/Texture.h"

#include <cstdint>

namespace Effekter {

// 1 falling to 0 over the first 250 ms of a window, 0 rising to 1 over its last 250 ms, else 0.
float flashLevel(uint32_t startTime, uint32_t endTime, uint32_t time);

struct BackdropColours {
    float background;
    float glow;
};

// Additive full-screen background and glow layer, zoomed from 2 down to 1 over the first ten
// seconds of effect time and shifted down by the flash level. Leaves the depth test off, blending
// off, texture 0 bound and the screen perspective set.
void drawZoomingBackdrop(const CTexture& background, const CTexture& glow, float flash,
                         float effectTime, BackdropColours colours);

// Eye-space normals become the texture coordinates s and t while the guards live.
class NormalMapTexGen {
public:
    NormalMapTexGen();

private:
    CEnabler genS_{GL_TEXTURE_GEN_S};
    CEnabler genT_{GL_TEXTURE_GEN_T};
};

class Rubber3d : public Effekt {
public:
    static constexpr int stripCount = 125;

    BandedModel model;
    CTextureFreeImage environment;
    CTextureFreeImage background;
    CTextureFreeImage glow;
    int32_t seed = 72;
    uint32_t lastBeat = 0; // time of the last frame whose beat exceeded 0.25

    Rubber3d(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    void drawStrips(float effectTime, float beat);
};

} // namespace Effekter
