#pragma once
// Four scenes switched at random every five seconds, drawn into a composite over a zoomed and
// slightly turned copy of the previous composite, shown through the split program with a border
// image over it.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "model3ds/ModelMeshes.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/VecMath.h"

#include <array>
#include <cstdint>

namespace Effekter {

// The scene shown by every ChaosZoomer of the show: 0 tunnel, 1 picture zoom, 2 model,
// 3 twisting layers (the first).
struct ChaosScene {
    int scene = 3;
};

class ChaosZoomer : public Effekt {
public:
    static constexpr uint32_t sceneLength = 5000; // ms
    static constexpr float refreshInterval = 20;  // ms

    RenderTarget composite;
    RenderTarget feedback;
    CTextureFreeImage flowers;
    // Shown by the picture zoom in this order as the switch count grows.
    std::array<CTextureFreeImage, 4> pictures;
    float FogNear = 300;
    float FogFar = 400;
    Vec3 ObjPos{0, 0, -400};
    uint32_t sceneStart = 0;
    uint32_t lastUpdate = 0;
    GLint timeLocation = -1;
    GLint beatLocation = -1;
    ModelDisplayList model;
    CTextureFreeImage environment;
    CTextureFreeImage border;
    CTextureFreeImage twist;
    FragmentProgram split;
    int32_t switchCount = 0;

    ChaosZoomer(const EffectContext& context, int32_t start, int32_t end);
    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;

    int scene() const { return shared_.scene; }

private:
    ChaosScene& shared_;

    void refreshComposite(uint32_t time, float beat);
    void drawScene(uint32_t time, float beat);
    void drawTunnel(float timeMs, float fade);
    void drawPictureZoom(uint32_t time, float fade);
    void drawModel(float timeMs, float beat);
    void drawTwistingLayers(float timeMs, float fade, float beat);
    void showOnScreen(float timeMs, float beat);
};

} // namespace Effekter
