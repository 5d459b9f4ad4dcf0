#pragma once
// A row of 1000 glowing dots drifting leftwards, each spinning and blinking at its own speed.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Texture.h"
#include "render/VecMath.h"

#include <array>
#include <cstdint>

namespace Effekter {

class Prikker : public Effekt {
public:
    struct Dot {
        uint8_t imageIndex = 0;
        float brightness = 0; // peak, 0 to 2
        Vec3 position;        // at the effect's start
        float speed = 0;      // 0 to 0.001 units per millisecond
    };
    static constexpr int dotCount = 1000;

    std::array<Dot, dotCount> dots;
    std::array<CTextureFreeImage, 4> images;

    Prikker(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    void placeDots();
};

} // namespace Effekter
