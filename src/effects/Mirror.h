#pragma once
// A textured cube tumbling about all three axes, drawn through a vertex and fragment program.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Shader.h"
#include "render/Texture.h"

namespace Effekter {

class Mirror : public Effekt {
public:
    Mirror(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    CTextureFreeImage boxImage;
    ShaderProgram cubeProgram;
    GLint timeLocation = -1;
};

} // namespace Effekter
