#pragma once
// A fragment shader named in the script, run over a full-screen image named in the script. The
// shader gets `time` (seconds) and `beat`, and the frame's inputs it declares (ShaderInputs.h).

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Shader.h"
#include "render/ShaderInputs.h"
#include "render/Texture.h"

#include <string>

namespace Effekter {

class ShaderShow : public Effekt {
public:
    // An empty shader path means no shader: the image is drawn by the fixed-function pipeline.
    ShaderShow(const EffectContext& context, int32_t start, int32_t end,
               const std::string& shaderPath, const std::string& imagePath);
    void draw(uint32_t time, float beat) override;
    // The fragment shader's file; empty without one.
    const std::string& shaderPath() const { return program.files; }
    std::vector<std::string> trackUniforms() const override { return inputs.trackUniforms(); }

private:
    FragmentProgram program;
    CTextureFreeImage image;
    GLint timeLocation = -1;
    GLint beatLocation = -1;
    ShaderInputs inputs;
};

} // namespace Effekter
