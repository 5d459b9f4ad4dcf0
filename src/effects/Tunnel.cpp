#include "effects/Tunnel.h"

#include "render/GLState.h"
#include "render/Random.h"

#include <algorithm>
#include <cmath>

namespace Effekter {

Tunnel::Tunnel(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    cloudImage.load(context.files.open("data/sky/clouds.jpg", ShowFileKind::Picture));
    landscapeImage.load(context.files.open("data/sky/landskab1.jpg", ShowFileKind::Picture));
    landscapeGlowImage.load(
        context.files.open("data/sky/landskab1_add.jpg", ShowFileKind::Picture));
}

void Tunnel::draw(uint32_t time, float beat) {
    const float T = float(time);
    const uint32_t L = endTime - landscapeStage; // wraps for windows ending before 15 s
    const float F = std::clamp((T - float(L)) / 10000, 0.0f, 1.0f);
    const float G = 0.9f * F;
    if (time > L)
        drawLandscape(T - float(L), G, beat);
    drawClouds(float(time - startTime), G, beat);
}

// U: milliseconds into the landscape stage; brightness G.
void Tunnel::drawLandscape(float U, float G, float beat) {
    OrthoView flat;
    MatrixPush push;
    glTranslatef(0, 0, U * 0.00001f - 2);
    const float s = U * 0.00005f + 1; // grows 5 % per second
    const Quad picture(s, s);
    glColor4f(G, G, G, G);
    {
        TextureBinding binding(landscapeImage);
        picture.draw(1, 1);
    }
    CTransparency additive(GL_ONE, GL_ONE);
    const float glow = G * beat * 0.125f;
    glColor4f(glow, glow, glow, glow);
    TextureBinding binding(landscapeGlowImage);
    picture.draw(1, -1); // upside down
}

// E: milliseconds since the effect's start; G: the landscape's brightness.
void Tunnel::drawClouds(float E, float G, float beat) {
    MatrixPush push;
    glTranslatef(0, beat * 0.0125f, 0);
    rotateByDegrees(Vec3(0, 0, E * 0.005f));
    TextureBinding binding(cloudImage);
    Quad puff(10, 10);
    CTransparency blend(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    MatrixPush turns;
    // The shared sequence goes on from wherever it stands; it is not re-seeded for these.
    const float r1 = randomUnit();
    const float r2 = randomUnit();
    const float D1 = E * 0.01f; // the puffs approach at 10 units per second
    const float D2 = (1 - G) * (beat + 1.125f);
    for (int k = puffCount; k >= 1; --k) { // far to near
        // The same seed for every puff puts them all on one curve; the turns below, which add up
        // from puff to puff, wind it into a spiral.
        prng::seed(uint32_t(seed));
        const float z = D1 - float(k);
        // 0 at the viewer, 1 at distance 10, 0 again at distance 15.
        const float a = z > -10 ? -z / 10 : 1 - (-z - 10) / 5;
        const float c = a * D2;
        glColor4f(c, c, c, c);
        const float rA = randomUnit();
        const float rB = randomUnit();
        const float rC = randomUnit();
        puff.centre = Vec3(z * rC, rB * std::sin(rA * z), z);
        rotateByDegrees(Vec3(0, 0, 10 * std::sin(float(k) * r1) * std::cos(float(k) * r2)));
        if (z > -15)
            puff.draw(1, 1);
    }
}

} // namespace Effekter
