#include "effects/Mirror.h"

#include "render/GLState.h"
#include "render/TexturedCube.h"

namespace Effekter {

Mirror::Mirror(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    boxImage.load(context.files.open("data/bravelund/tolvik/boks.jpg", ShowFileKind::Picture));
    cubeProgram.load(context.files.open("data/bravelund/tolvik/cube.fs", ShowFileKind::Shader),
                     context.files.open("data/bravelund/tolvik/cube.vs", ShowFileKind::Shader));
    timeLocation = uniformLocation(cubeProgram, "time");
}

void Mirror::draw(uint32_t time, float) {
    const float t = float(time);
    CEnabler depthTest(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    MatrixPush camera;
    gluLookAt(0, 0, 5, 0, 0, 0, 0, 1, 0);

    glUseProgram(cubeProgram.program);
    glUniform1f(timeLocation, t / 1000);
    TextureBinding box(boxImage);
    glColor4f(1, 1, 1, 1);
    {
        MatrixPush tumble;
        rotateByDegrees(Vec3(t / 500, t / 800, t / 300));
        drawTexturedCube(2);
        glUseProgram(0);
    }
}

} // namespace Effekter
