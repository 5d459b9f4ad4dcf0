#include "effects/WalkCube.h"

#include "render/GLState.h"
#include "render/TexturedCube.h"

#include <cmath>

namespace Effekter {

namespace {

constexpr uint32_t arrivalMs = 500;
constexpr float cameraRadius = 5;

// Distance along z from which the cube (and the camera's aim) arrive: -100 at the window's start,
// 0 from half a second on.
float arrivalOffset(uint32_t elapsed) {
    if (elapsed >= arrivalMs)
        return 0;
    return (1 - float(elapsed) / float(arrivalMs)) * -100;
}

} // namespace

WalkCube::WalkCube(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    groundImage.load(context.files.open("data/bravelund/walk/skak.png", ShowFileKind::Picture));
    shadowImage.load(context.files.open("data/bravelund/walk/skygge.png", ShowFileKind::Picture));
    cubeProgram.load(context.files.open("data/bravelund/walk/cubeshader.fs", ShowFileKind::Shader),
                     context.files.open("data/bravelund/walk/cubeshader.vs", ShowFileKind::Shader));
    groundProgram.build(
        context.files.open("data/bravelund/walk/floorshader.fs", ShowFileKind::Shader));
    intensityLocation = uniformLocation(groundProgram, "intensity");
}

void WalkCube::draw(uint32_t time, float beat) {
    const float t = float(time);
    CEnabler depthTest(GL_DEPTH_TEST);
    MatrixPush scene;
    const float arrival = arrivalOffset(time - startTime);
    const float angle = t * 0.00015f;
    gluLookAt(cameraRadius * std::sin(angle), 5 - 2 * beat, cameraRadius * std::cos(angle), 0, 0,
              arrival, 0, 1, 0);
    {
        MatrixPush groundFrame;
        drawGround(t, beat);
        drawShadow();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    drawCube(t, arrival);
}

// Leaves the ground's frame (the plane z = 0 laid flat at y = -1.5) current and its image bound.
void WalkCube::drawGround(float t, float beat) {
    glBindTexture(GL_TEXTURE_2D, groundImage.textureId);
    glTranslatef(0, -1.5f, 0);
    rotateByDegrees(Vec3(90, 0, 0));
    glUseProgram(groundProgram.program);
    glUniform1f(intensityLocation, 0.25f - beat * 0.1f);
    Quad(200, 200).drawOffset(40, 40, 0, t * 0.002f);
    glUseProgram(0);
}

// The shadow lies at the cube's rest position, drawn over the ground without depth test.
void WalkCube::drawShadow() {
    CTransparency blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    {
        TextureBinding shadow(shadowImage);
        Quad(2, 2).draw(1, 1);
    }
    glColor4f(1, 1, 1, 1);
    glEnable(GL_DEPTH_TEST);
}

void WalkCube::drawCube(float t, float arrival) {
    glUseProgram(cubeProgram.program);
    {
        MatrixPush cube;
        glTranslatef(0, std::fabs(std::cos(t * 0.009500756859779358f)), arrival);
        rotateByDegrees(Vec3(t * 0.2723146677017212f, 0, 0));
        drawTexturedCube(1);
        glUseProgram(0);
    }
}

} // namespace Effekter
