#pragma once
// A 21 x 21 grid of spinning, overlapping tiles seen by a camera that glides towards a target cell;
// the target jumps when the beat drops.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Texture.h"

namespace Effekter {

class ColorBox : public Effekt {
public:
    CTextureFreeImage tileImage;
    CTextureFreeImage flashImage;
    CTextureFreeImage starImage; // loaded and held, never drawn
    float previousBeat = 10.0f;  // above any beat level, so the first frame may move the target
    int32_t targetX = 0;
    int32_t targetY = 0;
    uint32_t lastMove = 0;
    float focusX = 0.0f;
    float focusY = 0.0f;

    static constexpr int gridReach = 10; // cells from -10 to 10 on both axes
    static constexpr uint32_t fadeIn = 5000;
    static constexpr uint32_t fadeOut = 2000;

    ColorBox(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

    // Brightness of the whole grid at `time`: rises over the first 5 s, falls over the last 2 s.
    float fadeAt(uint32_t time) const;

private:
    void moveTarget(uint32_t time, float beat);
    void glide();
    void drawGrid(uint32_t time, float beat);
};

} // namespace Effekter
