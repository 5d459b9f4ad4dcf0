#pragma once
// A field of 21 x 21 tumbling boxes rendered into a 1024 x 1024 target and shown on the whole
// screen through a polar-coordinate fragment shader.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"
#include "render/Texture.h"

#include <optional>

namespace Effekter {

class PolarCoords : public Effekt {
public:
    PolarCoords(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    CTextureFreeImage boxImage;
    FragmentProgram polarProgram;
    GLint timeLocation = -1;
    GLint resolutionLocation = -1;
    std::optional<RenderTarget> target; // made last, once the shader has built

    void drawBoxField(float tf);
    void drawThroughShader();
};

} // namespace Effekter
