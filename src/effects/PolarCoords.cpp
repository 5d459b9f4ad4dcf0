#include "effects/PolarCoords.h"

#include "render/GLState.h"
#include "render/Random.h"
#include "render/Screen.h"

#include <cmath>

namespace Effekter {

namespace {

constexpr int targetSide = 1024;
constexpr int fieldRadius = 10; // boxes from -10 to 10 on both axes

// A box with half sizes (hx, hy, hz) and the texture repeated (s, t) times on each of its six
// faces; no normals.
void drawTexturedBox(float s, float t, float hx, float hy, float hz) {
    struct Corner {
        float s, t, x, y, z;
    };
    // clang-format off
    const Corner corners[24] = {
        {0, 0, -hx, -hy,  hz}, {s, 0,  hx, -hy,  hz}, {s, t,  hx,  hy,  hz}, {0, t, -hx,  hy,  hz},
        {s, 0, -hx, -hy, -hz}, {s, t, -hx,  hy, -hz}, {0, t,  hx,  hy, -hz}, {0, 0,  hx, -hy, -hz},
        {0, t, -hx,  hy, -hz}, {0, 0, -hx,  hy,  hz}, {s, 0,  hx,  hy,  hz}, {s, t,  hx,  hy, -hz},
        {s, t, -hx, -hy, -hz}, {0, t,  hx, -hy, -hz}, {0, 0,  hx, -hy,  hz}, {s, 0, -hx, -hy,  hz},
        {s, 0,  hx, -hy, -hz}, {s, t,  hx,  hy, -hz}, {0, t,  hx,  hy,  hz}, {0, 0,  hx, -hy,  hz},
        {0, 0, -hx, -hy, -hz}, {s, 0, -hx, -hy,  hz}, {s, t, -hx,  hy,  hz}, {0, t, -hx,  hy, -hz},
    };
    // clang-format on
    glBegin(GL_QUADS);
    for (const Corner& corner : corners) {
        glTexCoord2f(corner.s, corner.t);
        glVertex3f(corner.x, corner.y, corner.z);
    }
    glEnd();
}

} // namespace

PolarCoords::PolarCoords(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end) {
    boxImage.load(context.files.open("data/housing.jpg", ShowFileKind::Picture));
    polarProgram.build(context.files.open("data/polar.fs", ShowFileKind::Shader));
    // Looked up but never set: the shader sees 0 in both and works without them.
    timeLocation = uniformLocation(polarProgram, "time");
    resolutionLocation = uniformLocation(polarProgram, "resolution");
    target.emplace(targetSide, targetSide);
}

void PolarCoords::draw(uint32_t time, float) {
    drawBoxField(float(time));
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    drawThroughShader();
}

// Draws into the target with the screen's viewport and projection, so the picture fills the
// target's lower-left, screen-sized corner.
void PolarCoords::drawBoxField(float tf) {
    CEnabler depthTest(GL_DEPTH_TEST);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->framebuffer);
    glBindTexture(GL_TEXTURE_2D, boxImage.textureId);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    {
        MatrixPush camera;
        gluLookAt(10 * std::sin(tf / 100), 10 * std::sin(tf / 300), 100, 0, 0, 0, 0, 1, 0);
        prng::seed(123);
        const Vec3 tumble(0.05f * tf, 0.01f * tf, 0.03f * tf);
        for (int i = -fieldRadius; i <= fieldRadius; ++i)
            for (int j = -fieldRadius; j <= fieldRadius; ++j) {
                MatrixPush box;
                glTranslatef(2.0f * float(i), 2.0f * float(j), 0);
                rotateByDegrees(tumble);
                const float height = randomUnit();
                drawTexturedBox(1, 1, 1, 3 * height, 1);
            }
        bindScreenFramebuffer();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

void PolarCoords::drawThroughShader() {
    OrthoView ortho;
    MatrixPush layer;
    glTranslatef(0, 0, -2);
    glBindTexture(GL_TEXTURE_2D, target->colourTexture);
    glUseProgram(polarProgram.program);
    Quad(1, 1).draw(1, 1);
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

} // namespace Effekter
