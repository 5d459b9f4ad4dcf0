#pragma once
// A shaded cube hopping and rolling over an endless scrolling chessboard, with a soft shadow,
// seen by a camera that circles the scene and dips with the beat.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Shader.h"
#include "render/Texture.h"

namespace Effekter {

class WalkCube : public Effekt {
public:
    WalkCube(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    CTextureFreeImage groundImage;
    CTextureFreeImage shadowImage;
    ShaderProgram cubeProgram;
    FragmentProgram groundProgram;
    GLint intensityLocation = -1;

    void drawGround(float t, float beat);
    void drawShadow();
    void drawCube(float t, float arrival);
};

} // namespace Effekter
