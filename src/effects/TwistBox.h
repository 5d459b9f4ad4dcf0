#pragma once
// A tall square column of 1000 thin slices, each turned about the vertical axis and swelling along
// the column, textured with a grid and shaded by a fragment shader whose intensity drops with the
// beat.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Shader.h"
#include "render/Texture.h"

namespace Effekter {

class TwistBox : public Effekt {
public:
    TwistBox(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    FragmentProgram bumpProgram;
    CTextureFreeImage gridImage;
    GLint intensityLocation = -1;
    GLint resolutionLocation = -1;
    GLint posLocation = -1;

    static void drawSlice(int h, float s);
};

} // namespace Effekter
