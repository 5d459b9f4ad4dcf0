#pragma once
// Still 3-D objects posed by tweakable vectors; the same picture on every frame of their window.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/GL.h"
#include "render/Texture.h"
#include "render/VecMath.h"

#include <array>
#include <cstdint>
#include <memory>

namespace Effekter {

// The built-in Quelm model, lit. Lighting stays on after it.
class Quelm3D : public Effekt {
public:
    int32_t meshList = -1; // built on the first frame drawn
    Vec3 polePos{0, 0, 0};
    Vec3 poleRot{0, 0, 0}; // degrees about x, y, z
    Vec3 camPos{0, 0, -8};

    Quelm3D(int32_t start, int32_t end);
    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;
};

// Three textured poles side by side, across the screen.
class FogRotator : public Effekt {
public:
    static constexpr int poleCount = 3;

    CTextureFreeImage poleImage;
    std::array<Vec3, poleCount> polePos{Vec3(6, 1, 0), Vec3(6, 0, 0), Vec3(6, -1, 0)};
    std::array<Vec3, poleCount> poleRot{Vec3(0, -90, 0), Vec3(0, -90, 0), Vec3(0, -90, 0)};
    Vec3 camPos{0, 0, -10};

    FogRotator(const EffectContext& context, int32_t start, int32_t end);
    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;

private:
    struct QuadricDeleter {
        void operator()(GLUquadric* quadric) const { gluDeleteQuadric(quadric); }
    };
    std::unique_ptr<GLUquadric, QuadricDeleter> quadric_;
};

} // namespace Effekter
