#include "effects/TwistBox.h"

#include "render/GLState.h"
#include "render/Screen.h"

#include <cmath>

namespace Effekter {

namespace {

constexpr int sliceCount = 1000;
constexpr float sliceHalfHeight = 0.05f;
constexpr float slicesPerImage = 20;

} // namespace

TwistBox::TwistBox(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    bumpProgram.build(context.files.open("data/bump.fs", ShowFileKind::Shader));
    gridImage.load(context.files.open("data/__grid.jpg", ShowFileKind::Picture));
    intensityLocation = uniformLocation(bumpProgram, "intensity");
    resolutionLocation = uniformLocation(bumpProgram, "resolution");
    posLocation = uniformLocation(bumpProgram, "pos");
}

void TwistBox::draw(uint32_t time, float beat) {
    const float tf = float(time);
    CFog fog(0, 1);
    glUseProgram(bumpProgram.program);
    glUniform1f(intensityLocation, 0.25f - 0.1f * beat);
    glUniform2f(resolutionLocation, float(currentScreen().width), float(currentScreen().height));
    glUniform2f(posLocation, 0.5f * std::sin(0.0005f * tf), 0.5f);
    TextureBinding grid(gridImage);
    glColor4f(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    {
        CEnabler depthTest(GL_DEPTH_TEST);
        MatrixPush column;
        glTranslatef(0, -15, -10);
        const float s = 0.000125f * tf;
        for (int h = 0; h < sliceCount; ++h)
            drawSlice(h, s);
        glUseProgram(0);
    }
}

// Slice h: a ring of four side faces between y = -0.05 and 0.05 (lifted to h / 10), its lower
// edge at half size a0 and its upper edge at a1 so neighbouring slices join; the grid image
// repeats every 20 slices.
void TwistBox::drawSlice(int h, float s) {
    const float a0 = std::sin(0.0225f * float(h) + s) + 1.5f;
    const float a1 = std::sin(0.0225f * float(h + 1) + s) + 1.5f;
    const float t0 = float(h) / slicesPerImage, t1 = float(h + 1) / slicesPerImage;
    const float y0 = -sliceHalfHeight, y1 = sliceHalfHeight;
    MatrixPush slice;
    glTranslatef(0, float(h) / 10, 0);
    glRotatef(360 * std::sin(0.00225f * float(h) + s), 0, 1, 0);
    glBegin(GL_QUADS);
    // front, z positive
    glTexCoord2f(0, t0), glVertex3f(-a0, y0, a0);
    glTexCoord2f(1, t0), glVertex3f(a0, y0, a0);
    glTexCoord2f(1, t1), glVertex3f(a1, y1, a1);
    glTexCoord2f(0, t1), glVertex3f(-a1, y1, a1);
    // back, z negative
    glTexCoord2f(1, t0), glVertex3f(-a0, y0, -a0);
    glTexCoord2f(1, t1), glVertex3f(-a1, y1, -a1);
    glTexCoord2f(0, t1), glVertex3f(a1, y1, -a1);
    glTexCoord2f(0, t0), glVertex3f(a0, y0, -a0);
    // right, x positive
    glTexCoord2f(1, t0), glVertex3f(a0, y0, -a0);
    glTexCoord2f(1, t1), glVertex3f(a1, y1, -a1);
    glTexCoord2f(0, t1), glVertex3f(a1, y1, a1);
    glTexCoord2f(0, t0), glVertex3f(a0, y0, a0);
    // left, x negative
    glTexCoord2f(0, t0), glVertex3f(-a0, y0, -a0);
    glTexCoord2f(1, t0), glVertex3f(-a0, y0, a0);
    glTexCoord2f(1, t1), glVertex3f(-a1, y1, a1);
    glTexCoord2f(0, t1), glVertex3f(-a1, y1, -a1);
    glEnd();
}

} // namespace Effekter
