#include "effects/ChaosZoomer.h"

#include "effects/FramedComposite.h"
#include "effects/Rubber3d.h"
#include "render/GLState.h"
#include "render/Random.h"

#include <algorithm>
#include <cmath>

namespace Effekter {

namespace {

// Draws a render target's colour texture as a full-screen layer, turned by `degrees` about the
// screen's centre and scaled by `halfSize`.
void drawTargetLayer(const RenderTarget& source, float halfSize, float degrees) {
    OrthoView layer;
    MatrixPush push;
    glTranslatef(0, 0, -2);
    glColor4f(1, 1, 1, 1);
    rotateByDegrees(Vec3(0, 0, degrees));
    glBindTexture(GL_TEXTURE_2D, source.colourTexture);
    Quad(halfSize, halfSize).draw(1, 1);
    glBindTexture(GL_TEXTURE_2D, 0);
}

} // namespace

ChaosZoomer::ChaosZoomer(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end), model(context.files.open("data/misc/simple.3ds", ShowFileKind::Model), 1),
      shared_(context.shared.get<ChaosScene>()) {
    flowers.load(context.files.open("data/misc/blomster.jpg", ShowFileKind::Picture));
    pictures[0].load(context.files.open("data/misc/pem.jpg", ShowFileKind::Picture));
    pictures[1].load(context.files.open("data/misc/mig.jpg", ShowFileKind::Picture));
    pictures[3].load(context.files.open("data/misc/quelm.jpg", ShowFileKind::Picture));
    pictures[2].load(context.files.open("data/misc/bust.jpg", ShowFileKind::Picture));
    environment.load(context.files.open("data/misc/env.jpg", ShowFileKind::Picture));
    border.load(context.files.open("data/misc/border.jpg", ShowFileKind::Picture));
    twist.load(context.files.open("data/misc/twist.jpg", ShowFileKind::Picture));
    split.build(context.files.open("data/misc/split.txt", ShowFileKind::Shader));
    name = "ChaosZoomer";
    timeLocation = uniformLocation(split, "time");
    beatLocation = uniformLocation(split, "beat");
}

void ChaosZoomer::registerTweaks(TweakRegistry& tweaks) {
    tweaks.addVariable(tweakBar, "ObjPos", TweakDir3F, &ObjPos, "label='ObjPos'");
    tweaks.addVariable(tweakBar, "FogNear", TweakFloat, &FogNear, " label='FogNear'");
    tweaks.addVariable(tweakBar, "FogFar", TweakFloat, &FogFar, " label='FogFar'");
}

void ChaosZoomer::draw(uint32_t time, float beat) {
    if (time - sceneStart > sceneLength) {
        switchCount += 1;
        sceneStart = time;
        shared_.scene = prng::next() & 3;
    }
    if (float(time - lastUpdate) > refreshInterval)
        refreshComposite(time, beat);
    showOnScreen(float(time), beat);
}

void ChaosZoomer::refreshComposite(uint32_t time, float beat) {
    lastUpdate = time;
    const float timeMs = float(time);

    composite.bind();
    drawTargetLayer(feedback, 1.02f, std::sin(timeMs / 5000));
    composite.unbind();

    composite.bind();
    glClear(GL_DEPTH_BUFFER_BIT);
    drawScene(time, beat);
    composite.unbind();

    feedback.bind();
    drawTargetLayer(composite, 1, 0);
    feedback.unbind();
}

void ChaosZoomer::drawScene(uint32_t time, float beat) {
    const float fade = std::min(float(time - sceneStart) / 500, 1.0f);
    const float timeMs = float(time);
    switch (shared_.scene) {
    case 0:
        drawTunnel(timeMs, fade);
        break;
    case 1:
        drawPictureZoom(time, fade);
        break;
    case 2:
        drawModel(timeMs, beat);
        break;
    default:
        drawTwistingLayers(timeMs, fade, beat);
        break;
    }
}

// Flower quads one unit apart, flying towards the eye at one unit per second; the nearest ten
// that lie in front of the far end are drawn, brightening as they come closer.
void ChaosZoomer::drawTunnel(float timeMs, float fade) {
    glColor4f(1, 1, 1, 1);
    CTransparency brightnessWeighted(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    TextureBinding binding(flowers);
    const Quad quad(0.5f, 0.5f);
    for (int i = 0; i < 1000; ++i) {
        const float depth = timeMs / 1000 - float(i);
        if (depth <= -10)
            continue;
        const float level = (10 + depth) / 10 * fade;
        glColor4f(level, level, level, level);
        MatrixPush push;
        glTranslatef(0, 0, depth);
        glRotatef(20 * float(i) + timeMs / 500, 0, 0, 1);
        quad.draw(1, 1);
    }
}

void ChaosZoomer::drawPictureZoom(uint32_t time, float fade) {
    OrthoView layer;
    glColor4f(fade, fade, fade, fade);
    CTransparency brightnessWeighted(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    MatrixPush push;
    glTranslatef(0, 0, -2);
    const float timeMs = float(time);
    rotateByDegrees(Vec3(15 * std::sin(timeMs / 500), 15 * std::sin(timeMs / 2000), -timeMs / 50));
    TextureBinding binding(pictures[size_t(switchCount) % pictures.size()]);
    const float halfSize = 0.1f * std::sin(float(time - sceneStart) / 1000) + 0.5f;
    Quad(halfSize, halfSize).draw(1, 1);
}

void ChaosZoomer::drawModel(float timeMs, float beat) {
    glColor4f(1, 1, 1, 1);
    CFog fog(FogNear, FogFar);
    CEnabler depthTest(GL_DEPTH_TEST);
    CEnabler culling(GL_CULL_FACE);
    MatrixPush push;
    NormalMapTexGen texGen;
    ObjPos = Vec3(100 * std::sin(timeMs / 2000), 100 * std::sin(timeMs / 1000), 50 * beat - 400);
    glTranslatef(ObjPos.x, ObjPos.y, ObjPos.z);
    rotateByDegrees(Vec3(0.0025f * timeMs, 0.03f * timeMs, 0.0125f * timeMs));
    TextureBinding binding(environment);
    glCallList(model.list);
}

void ChaosZoomer::drawTwistingLayers(float timeMs, float fade, float beat) {
    CTransparency brightnessWeighted(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    TextureBinding binding(twist);
    const float level = fade * beat * 1.01f;
    glColor3f(level, level, level);
    const Quad quad(1, 1);
    for (int i = 0; i < 5; ++i) {
        MatrixPush push;
        glTranslatef(0, 0, -1);
        glRotatef(5 * float(i) * beat + 0.04f * timeMs + 90 * (1 - beat), 0, 0, 1);
        quad.draw(1, 1);
    }
}

void ChaosZoomer::showOnScreen(float timeMs, float beat) {
    showFramedComposite(composite.colourTexture, split, beatLocation, timeLocation, beat, timeMs,
                        border);
}

} // namespace Effekter
