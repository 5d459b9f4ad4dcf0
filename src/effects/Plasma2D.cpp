#include "effects/Plasma2D.h"

#include "render/GLState.h"
#include "render/Random.h"

namespace Effekter {

Plasma2D::Plasma2D(const EffectContext& context, int32_t start, int32_t end, int32_t seed)
    : Effekt(start, end), plasmaSeed(seed) {
    waterImage.load(context.files.open("data/plasma/__water.jpg", ShowFileKind::Picture));
    name = "Plasma2D";
    plasmaProgram.build(context.files.open("data/plasma/effekt2.fs", ShowFileKind::Shader));
    timeLocation = uniformLocation(plasmaProgram, "time");
    dx0Location = uniformLocation(plasmaProgram, "dx0");
    dy0Location = uniformLocation(plasmaProgram, "dy0");
    dx1Location = uniformLocation(plasmaProgram, "dx1");
    dy1Location = uniformLocation(plasmaProgram, "dy1");
}

void Plasma2D::registerTweaks(TweakRegistry& tweaks) {
    tweaks.addVariable(tweakBar, "Plasma", TweakInt32, &plasmaSeed, " label='Plasma'");
}

void Plasma2D::draw(uint32_t time, float beat) {
    const float t = float(time);
    prng::seed(uint32_t(plasmaSeed));
    TextureBinding water(waterImage);
    MatrixPush layer;
    glTranslatef(0, 0, beat * 0.125f - 2);
    rotateByDegrees(Vec3(0, 0, t * 0.02f));
    refillWaves();
    glUseProgram(plasmaProgram.program);
    glUniform1f(timeLocation, t / 1000);
    glUniform4f(dx0Location, waveA[0], waveA[1], waveA[2], waveA[3]);
    glUniform4f(dy0Location, waveB[0], waveB[1], waveB[2], waveB[3]);
    glUniform4f(dx1Location, waveC[0], waveC[1], waveC[2], waveC[3]);
    glUniform4f(dy1Location, waveD[0], waveD[1], waveD[2], waveD[3]);
    Quad(1.5f, 1.5f).draw(1, 1);
    glUseProgram(0);
}

// Sixteen values from the freshly seeded generator, in the order the plasma's look depends on.
void Plasma2D::refillWaves() {
    for (int k = 0; k < 4; ++k) {
        waveA[k] = randomUnit() * 10;
        waveB[k] = randomUnit() * 10;
        waveC[k] = randomUnit();
        waveD[k] = randomUnit();
    }
}

} // namespace Effekter
