#include "effects/Rubber3d.h"

#include "render/Random.h"
#include "render/Screen.h"

#include <algorithm>
#include <cmath>

namespace Effekter {

namespace {

constexpr float flashLength = 250;

} // namespace

float flashLevel(uint32_t startTime, uint32_t endTime, uint32_t time) {
    float flash = 0;
    const uint32_t sinceStart = time - startTime;
    if (sinceStart < flashLength)
        flash = 1 - float(sinceStart) / flashLength;
    if (time > endTime - uint32_t(flashLength))
        flash = 1 - float(endTime - time) / flashLength;
    return flash;
}

namespace {

// A layer added to the picture in a grey level; black (or below, which clamps to black) adds
// nothing, so then only the colour and the vertex attributes a drawing leaves are set.
void drawAdded(const Quad& quad, const CTexture& texture, float level) {
    glColor4f(level, level, level, level);
    if (!(level > 0) && blackAddsNothing()) {
        quad.leaveAttributesOfDraw(1, 1);
        return;
    }
    TextureBinding binding(texture);
    quad.draw(1, 1);
}

} // namespace

void drawZoomingBackdrop(const CTexture& background, const CTexture& glow, float flash,
                         float effectTime, BackdropColours colours) {
    glDisable(GL_DEPTH_TEST);
    CTransparency additive(GL_ONE, GL_ONE);
    OrthoView layer;
    MatrixPush push;
    glTranslatef(0, flash, -1);
    const float zoom = std::max(2 - effectTime / 10000, 1.0f);
    const Quad quad(zoom, zoom);
    drawAdded(quad, background, colours.background);
    drawAdded(quad, glow, colours.glow);
}

NormalMapTexGen::NormalMapTexGen() {
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
}

Rubber3d::Rubber3d(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end), model(context.files.open("data/rubber/simple.3ds", ShowFileKind::Model)) {
    environment.load(context.files.open("data/rubber/env.jpg", ShowFileKind::Picture));
    background.load(context.files.open("data/rubber/background.jpg", ShowFileKind::Picture));
    glow.load(context.files.open("data/rubber/background1.jpg", ShowFileKind::Picture));
}

void Rubber3d::draw(uint32_t time, float beat) {
    const float flash = flashLevel(startTime, endTime, time);
    const float effectTime = float(time);
    drawZoomingBackdrop(background, glow, flash, effectTime, {1, beat});

    CEnabler scissor(GL_SCISSOR_TEST);
    CEnabler depthTest(GL_DEPTH_TEST);
    CEnabler culling(GL_CULL_FACE);
    NormalMapTexGen texGen;
    TextureBinding binding(environment);
    MatrixPush push;

    if (beat > 0.25f)
        lastBeat = time;
    const uint32_t sinceBeat = time - lastBeat;
    const uint32_t sinceStart = time - startTime;
    glTranslatef(float(sinceStart) / 75 - 150, 500 * flash, -500 - float(sinceBeat));
    rotateByDegrees(Vec3(0, effectTime / 20, 0));
    glColor4f(1, 1, 1, 1);
    drawStrips(effectTime, beat);
}

// Every strip re-seeds the generator, so each applies the same small turn and shift once more
// without a matrix push: strip i shows the model transformed i + 1 times.
void Rubber3d::drawStrips(float effectTime, float beat) {
    const int stripWidth = int(std::ceil(float(currentScreen().width) / stripCount));
    for (int strip = 0; strip < stripCount; ++strip) {
        prng::seed(uint32_t(seed));
        glTranslatef(0, 0, randomUnit() * beat);
        float wobble[3];
        for (float& value : wobble) {
            const float amount = randomUnit();
            const float sine = std::sin(randomUnit() * effectTime / 500);
            const float cosine = std::cos(randomUnit() * effectTime / 500);
            value = sine * amount * cosine;
        }
        glRotatef(wobble[2], 1, 0, 0);
        glRotatef(wobble[1], 0, 1, 0);
        glRotatef(wobble[0], 0, 0, 1);
        const int x = int(float(currentScreen().width) * float(strip) / stripCount);
        glScissor(x, 0, stripWidth, currentScreen().height);
        model.drawColumns(x, x + stripWidth);
    }
}

} // namespace Effekter
