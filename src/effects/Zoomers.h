#pragma once
// Zoomers: a column of tiles rushing at the viewer over a swaying background (Zoomba, Zoombb), and
// a curved stream of glowing sprites under a darkening mask (Solaris).

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Texture.h"

namespace Effekter {

// The tile zoomer; its two keywords differ only in the images they load.
class TileZoomer : public Effekt {
public:
    CTextureFreeImage spareImage; // loaded and held, never drawn
    CTextureFreeImage tileImage;
    CTextureFreeImage backgroundImage;
    CTextureFreeImage glowImage;

    void draw(uint32_t time, float beat) override;

protected:
    TileZoomer(const EffectContext& context, int32_t start, int32_t end, const char* sparePath,
               const char* tilePath);
};

class Zoomba : public TileZoomer {
public:
    Zoomba(const EffectContext& context, int32_t start, int32_t end);
};

class Zoombb : public TileZoomer {
public:
    Zoombb(const EffectContext& context, int32_t start, int32_t end);
};

class Solaris : public Effekt {
public:
    CTextureFreeImage spriteImage;
    CTextureFreeImage beatImage;
    CTextureFreeImage maskImage;

    Solaris(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

    // Sprites nearer than this distance along the view axis are drawn.
    static constexpr float farthestSprite = -10;
    static constexpr int spriteCount = 10000;

private:
    void drawSprites(float T, float beat);
    void drawMask(float beat);
};

} // namespace Effekter
