#include "effects/ShaderSuite3D.h"

#include "effects/Rubber3d.h"
#include "render/GLState.h"

namespace Effekter {

ShaderSuite3D::ShaderSuite3D(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end),
      model(context.files.open("data/rubber/simple.3ds", ShowFileKind::Model), 3) {
    environment.load(context.files.open("data/rubber/env.jpg", ShowFileKind::Picture));
    background.load(context.files.open("data/rubber/background.jpg", ShowFileKind::Picture));
    glow.load(context.files.open("data/rubber/background1.jpg", ShowFileKind::Picture));
    suite.load(context.files.open("data/suite/fs.txt", ShowFileKind::Shader),
               context.files.open("data/suite/vs.txt", ShowFileKind::Shader));
    stepLocation = uniformLocation(suite, "step");
    timeLocation = uniformLocation(suite, "time");
}

void ShaderSuite3D::draw(uint32_t time, float) {
    const float flash = flashLevel(startTime, endTime, time);
    const float effectTime = float(time);
    // Drawn black, the backdrop adds nothing; it leaves its state behind all the same.
    drawZoomingBackdrop(background, glow, flash, effectTime, {0, 0});

    CEnabler depthTest(GL_DEPTH_TEST);
    CEnabler culling(GL_CULL_FACE);
    TextureBinding binding(environment);
    MatrixPush push;
    const uint32_t sinceStart = time - startTime;
    glTranslatef(float(sinceStart) / 75 - 150, 500 * flash, -500);
    rotateByDegrees(Vec3(0, effectTime / 20, 0));

    CTransparency additive(GL_ONE, GL_ONE);
    CTransparency brightnessWeighted(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    glColor4f(0.1f, 0.1f, 0.1f, 0.1f);
    glUseProgram(suite.program);
    glUniform1f(timeLocation, effectTime / 1000);
    for (int pass = 0; pass < passCount; ++pass) {
        glDepthMask(GL_FALSE);
        glUniform1f(stepLocation, float(pass) / passCount);
        MatrixPush passMatrix;
        glColor4f(1, 1, 1, 1);
        glCallList(model.list);
    }
    glUseProgram(0);
}

} // namespace Effekter
