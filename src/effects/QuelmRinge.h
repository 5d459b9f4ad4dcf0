#pragma once
// Lit spinning rings in front of a background that dims with the beat, with a small text image in
// the scene. Strong beats, at most one every 300 ms, reverse the spin, pick a new speed and shift
// the rings and the text sideways.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Texture.h"
#include "render/VecMath.h"

#include <cstdint>

namespace Effekter {

// Spin state shared by every QuelmRinge of the show: a later entry carries on where an earlier
// one left off.
struct RingSpin {
    bool started = false;    // set by the first draw of any QuelmRinge
    uint32_t lastSwitch = 0; // ms
    int32_t switchCount = 0; // its parity gives the spin direction
    int32_t speedStep = 0;   // 0 to 25
    float ringOffset = 0;    // -1.2 to 0.07
    float angle = 0;         // degrees, the last spin angle drawn
};

class QuelmRinge : public Effekt {
public:
    CTextureFreeImage textImage;
    CTextureFreeImage background;
    Vec3 textPos{0, 0, -0.45f};
    Vec3 textRot{0, -56, 0}; // degrees about x, y, z

    QuelmRinge(const EffectContext& context, int32_t start, int32_t end);
    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;

    const RingSpin& spin() const { return spin_; }

private:
    RingSpin& spin_;
    void drawBackground(float beat);
    void drawText();
};

} // namespace Effekter
