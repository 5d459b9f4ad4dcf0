#pragma once
// The rubber model drawn twenty times in one place through the shell program, each pass told its
// index as a fraction ("step") and the effect time in seconds ("time").

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "model3ds/ModelMeshes.h"
#include "render/Shader.h"
#include "render/Texture.h"

#include <cstdint>

namespace Effekter {

class ShaderSuite3D : public Effekt {
public:
    static constexpr int passCount = 20;

    ModelDisplayList model;
    CTextureFreeImage environment;
    CTextureFreeImage background;
    CTextureFreeImage glow;
    ShaderProgram suite;
    GLint stepLocation = -1;
    GLint timeLocation = -1;

    ShaderSuite3D(const EffectContext& context, int32_t start, int32_t end);
    // Leaves depth writes off.
    void draw(uint32_t time, float beat) override;
};

} // namespace Effekter
