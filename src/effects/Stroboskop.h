#pragma once
// A strobing picture: a drifting band pumped by the beat, a jittering text mask that darkens it,
// and ten turned copies of the twist image added on top.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Texture.h"

namespace Effekter {

class Stroboskop : public Effekt {
public:
    CTextureFreeImage twistImage;
    CTextureFreeImage bandImage;
    CTextureFreeImage textImage;

    // Effect time before which the text mask darkens at full strength whatever the beat.
    static constexpr uint32_t fullMaskUntil = 21000;

    Stroboskop(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    void drawBand(float T, float beat);
    void drawTextMask(uint32_t time, float beat);
    void drawTwistCopies(float T, float beat);
};

} // namespace Effekter
