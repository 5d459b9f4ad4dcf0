#include "effects/ColorBox.h"

#include "render/GLState.h"
#include "render/Random.h"

#include <cmath>

namespace Effekter {

namespace {

// Moves the focus by 0.1 towards the target, stopping within 0.1 below it instead of oscillating.
void glideAxis(float& focus, int32_t target) {
    if (float(target) > focus)
        focus += 0.1f;
    if (focus > float(target))
        focus -= 0.1f;
}

} // namespace

ColorBox::ColorBox(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    tileImage.load(context.files.open("data/colorbox/colorbox1.jpg", ShowFileKind::Picture));
    flashImage.load(context.files.open("data/colorbox/colorbox2.jpg", ShowFileKind::Picture));
    starImage.load(context.files.open("data/colorbox/star.jpg", ShowFileKind::Picture));
}

void ColorBox::draw(uint32_t time, float beat) {
    moveTarget(time, beat);
    previousBeat = beat;
    glide();
    drawGrid(time, beat);
    // Closing stage: the darkening overlay is set up but draws nothing; what stays of it is its
    // blend function and half-grey colour.
    CTransparency darken(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    OrthoView flat;
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
}

// When the beat drops, the target jumps to a random cell near the centre.
void ColorBox::moveTarget(uint32_t time, float beat) {
    if (!(previousBeat > beat && time - lastMove > 200))
        return;
    prng::seed(time);
    targetX = int32_t(randomUnit() * 4);
    targetY = int32_t(randomUnit() * 4);
    if (time < 70)
        targetX = targetY = 100; // outside the grid: no cell is the target
    lastMove = time;
}

void ColorBox::glide() {
    glideAxis(focusY, targetY);
    glideAxis(focusX, targetX);
}

float ColorBox::fadeAt(uint32_t time) const {
    float fade = 1;
    if (time < startTime + fadeIn)
        fade = float(time - startTime) / float(fadeIn);
    if (time > endTime - fadeOut)
        fade = float(endTime - time) / float(fadeOut);
    return fade;
}

void ColorBox::drawGrid(uint32_t time, float beat) {
    const float S = float(time) * 0.001f;
    MatrixPush push;
    // The camera rolls further as the effect time grows.
    gluLookAt(0.25f * focusX, 0.25f * focusY, 4, focusX, focusY, 0, S, 1, 0);
    glDisable(GL_DEPTH_TEST);
    CTransparency additive(GL_ONE, GL_ONE);
    const float fade = fadeAt(time);
    const Quad tile(1, 1); // 2 units wide at a spacing of 1: neighbours overlap
    for (int w = -gridReach; w <= gridReach; ++w)
        for (int i = -gridReach; i <= gridReach; ++i) {
            MatrixPush cell;
            glTranslatef(float(w), float(i), 0);
            rotateByDegrees(Vec3(0, 0, 180 * std::sin(float(i + w) * S * 0.05f + float(w * i))));
            const float dy = float(i - targetY), dx = float(w - targetX);
            const float d = std::sqrt(dy * dy + dx * dx);
            // The target cell (d = 0) is as bright as colours go.
            const float b = d > 0 ? fade * 0.5f / d : 1.0f;
            glColor4f(b, b, b, b);
            TextureBinding binding(tileImage);
            if (w != targetX || i != targetY) {
                tile.draw(1, 1);
                continue;
            }
            const float s = beat * 0.5f + 1;
            const Quad target(s, s);
            target.draw(1, 1);
            const float flash = fade * beat * 2;
            glColor4f(flash, flash, flash, flash);
            TextureBinding flashBinding(flashImage);
            target.draw(1, 1);
        }
}

} // namespace Effekter
