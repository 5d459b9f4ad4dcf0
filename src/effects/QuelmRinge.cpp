#include "effects/QuelmRinge.h"

#include "render/GLState.h"
#include "render/Mesh.h"
#include "render/Random.h"

namespace Effekter {

namespace {

constexpr uint32_t minimumSwitchGap = 300; // ms
constexpr float switchBeat = 0.7f;

void switchSpinOnBeat(RingSpin& spin, uint32_t time, float beat) {
    if (!spin.started) {
        spin.started = true;
        spin.lastSwitch = time;
    }
    if (time - spin.lastSwitch > minimumSwitchGap && beat > switchBeat) {
        spin.switchCount += 1;
        spin.lastSwitch = time;
        spin.speedStep = int32_t(float(prng::next() & 0xFF) * 0.1f);
        spin.ringOffset = float(prng::next() & 0x7F) * 0.01f - 1.2f;
    }
}

// Degrees: the effect time over (15 - speedStep), turning one way on odd switch counts and the
// other on even ones. A speed step of 15 has no finite angle; the previous angle is kept then.
float spinAngle(const RingSpin& spin, uint32_t time) {
    const int32_t divisor = 15 - spin.speedStep;
    if (divisor == 0)
        return spin.angle;
    const float angle = float(time) / float(divisor);
    return spin.switchCount % 2 != 0 ? angle : -angle;
}

} // namespace

QuelmRinge::QuelmRinge(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end), spin_(context.shared.get<RingSpin>()) {
    textImage.load(context.files.open("data/bravelund/ringe/rotate.png", ShowFileKind::Picture));
    background.load(context.files.open("data/bravelund/ringe/bg.png", ShowFileKind::Picture));
    name = "QuelmRinge";
    buildRingModels();
}

void QuelmRinge::registerTweaks(TweakRegistry& tweaks) {
    tweaks.addVariable(tweakBar, "Txt pos", TweakDir3F, &textPos, "label='Txt pos'");
    tweaks.addVariable(tweakBar, "Txt rot", TweakDir3F, &textRot, "label='Rot pos'");
}

void QuelmRinge::draw(uint32_t time, float beat) {
    drawBackground(beat);

    glDisable(GL_TEXTURE_2D);
    setupLighting();
    switchSpinOnBeat(spin_, time, beat);
    spin_.angle = spinAngle(spin_, time);
    drawRings(spin_.angle, spin_.ringOffset);
    disableLighting();
    glEnable(GL_TEXTURE_2D);

    textPos.x = spin_.ringOffset;
    drawText();
}

// Under whatever blending the frame has; the beat dims it to three quarters at most.
void QuelmRinge::drawBackground(float beat) {
    const float level = 1 - beat * 0.25f;
    glColor4f(level, level, level, level);
    OrthoView layer;
    MatrixPush push;
    glTranslatef(0, 0, -2);
    TextureBinding binding(background);
    Quad(1, 1).draw(1, 1);
}

void QuelmRinge::drawText() {
    CTransparency alpha(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
    CEnabler depthTest(GL_DEPTH_TEST);
    MatrixPush push;
    glTranslatef(textPos.x, textPos.y, textPos.z);
    rotateByDegrees(textRot);
    TextureBinding binding(textImage);
    // Upside down in texture space, because the perspective view's y axis points up.
    Quad(0.25f, 0.25f).draw(1, -1);
}

} // namespace Effekter
