#pragma once
// A sprite on a looping path in front of a turning background, leaving a trail of star particles
// that drift, spin and fade out over up to ten seconds each.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Texture.h"
#include "render/VecMath.h"

#include <cstdint>
#include <list>

namespace Effekter {

// Time of the last particle birth, shared by all Brum entries of the show.
struct BrumSpawn {
    uint32_t last = 0;
};

class Brum : public Effekt {
public:
    struct Particle {
        Vec3 origin;
        Vec3 direction; // each component 0 to 1
        float speed;    // drift distance over the whole life, 0 to 0.5
        uint32_t birth;
        uint32_t death;

        // Position and fade (1 at birth, 0 at death) at time t, for birth <= t <= death.
        void positionAt(uint32_t t, Vec3& position, float& fade) const;
    };

    CTextureFreeImage spriteImage;
    CTextureFreeImage backgroundImage;
    CTextureFreeImage starImage;
    Vec3 bgPos{0, 0, -2};
    Vec3 bgScale{1, 1, 0};         // half size in x and y
    std::list<Particle> particles; // in creation order

    static constexpr uint32_t spawnInterval = 10; // ms; at most one birth per frame

    Brum(const EffectContext& context, int32_t start, int32_t end);
    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;

    // The sprite's path point at effect time T.
    static Vec3 pathAt(float T);

private:
    BrumSpawn& lastSpawn_;
    void spawn(uint32_t time, const Vec3& origin);
    void drawBackground(uint32_t time);
    void drawParticles(uint32_t time);
    void drawSprite(const Vec3& at);
};

} // namespace Effekter
