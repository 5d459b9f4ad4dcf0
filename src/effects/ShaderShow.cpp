#include "effects/ShaderShow.h"

#include "render/GLState.h"

namespace Effekter {

ShaderShow::ShaderShow(const EffectContext& context, int32_t start, int32_t end,
                       const std::string& shaderPath, const std::string& imagePath)
    : Effekt(start, end) {
    if (!shaderPath.empty())
        program.build(context.files.open(shaderPath, ShowFileKind::Shader));
    image.load(context.files.open(imagePath, ShowFileKind::Picture));
    // Without a program there is nothing to look up (and asking program 0 is a GL error).
    if (program.program != 0) {
        timeLocation = uniformLocation(program, "time");
        beatLocation = uniformLocation(program, "beat");
        inputs = ShaderInputs(context.frame, program.program);
    }
}

void ShaderShow::draw(uint32_t time, float beat) {
    glUseProgram(program.program);
    if (program.program != 0) {
        glUniform1f(timeLocation, float(time) / 1000);
        glUniform1f(beatLocation, beat);
        inputs.apply();
    }
    OrthoView ortho;
    {
        MatrixPush layer;
        glTranslatef(0, 0, -1);
        TextureBinding binding(image);
        Quad(1, 1).draw(1, 1);
        glUseProgram(0);
        inputs.release();
    }
}

} // namespace Effekter
