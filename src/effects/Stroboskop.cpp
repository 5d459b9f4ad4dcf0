#include "effects/Stroboskop.h"

#include "render/GLState.h"
#include "render/Random.h"

#include <cmath>

namespace Effekter {

Stroboskop::Stroboskop(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end) {
    twistImage.load(context.files.open("data/strobo/twist.jpg", ShowFileKind::Picture));
    bandImage.load(context.files.open("data/strobo/bg.jpg", ShowFileKind::Picture));
    textImage.load(context.files.open("data/strobo/text.jpg", ShowFileKind::Picture));
}

void Stroboskop::draw(uint32_t time, float beat) {
    const float T = float(time);
    drawBand(T, beat);
    drawTextMask(time, beat);
    drawTwistCopies(T, beat);
    glColor4f(1, 1, 1, 1);
}

// In the current view, with blending as it stands.
void Stroboskop::drawBand(float T, float beat) {
    const float c = 0.5f * beat + 0.5f;
    glColor3f(c, c, c);
    MatrixPush push;
    TextureBinding binding(bandImage);
    glTranslatef(std::sin(T * 0.000001f) * 49, 0, 0.5f * beat - 1);
    Quad(50, 1).draw(50, 1); // 100 units wide, the image repeated 50 times along it
}

void Stroboskop::drawTextMask(uint32_t time, float beat) {
    CTransparency darken(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    OrthoView flat;
    MatrixPush push;
    glTranslatef(0, 0, -1);
    const float v = time < fullMaskUntil ? 1 : beat + 0.5f;
    glColor4f(v, v, v, v);
    TextureBinding binding(textImage);
    const float s = 1 + randomUnit() * 0.125f * beat;
    Quad(s, s).draw(1, 1);
}

// At distance 1 a quad of half size 1 is larger than the screen, so turning never shows an edge.
void Stroboskop::drawTwistCopies(float T, float beat) {
    CTransparency additive(GL_ONE, GL_ONE);
    TextureBinding binding(twistImage);
    const float g = beat * 0.125f;
    glColor3f(g, g, g);
    const float Q1 = T * 0.04f;
    const float Q2 = (1 - beat) * 90;
    const Quad copy(1, 1);
    for (int i = 0; i < 10; ++i) {
        MatrixPush push;
        glTranslatef(0, 0, -1);
        rotateByDegrees(Vec3(0, 0, float(i) * 5 * beat + Q1 + Q2));
        copy.draw(1, 1);
    }
}

} // namespace Effekter
