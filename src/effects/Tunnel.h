#pragma once
// A flight through a spiral of cloud puffs that ends, over the window's last 15 seconds, in a
// landscape fading in behind the thinning clouds.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Texture.h"

namespace Effekter {

class Tunnel : public Effekt {
public:
    CTextureFreeImage cloudImage;
    CTextureFreeImage landscapeImage;
    CTextureFreeImage landscapeGlowImage;
    int32_t seed = 89; // puff placement

    static constexpr uint32_t landscapeStage = 15000; // length of the closing stage, ms
    static constexpr int puffCount = 1000;

    Tunnel(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    void drawLandscape(float U, float brightness, float beat);
    void drawClouds(float E, float landscape, float beat);
};

} // namespace Effekter
