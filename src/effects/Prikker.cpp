#include "effects/Prikker.h"

#include "render/GLState.h"
#include "render/Random.h"

#include <cmath>
#include <string>

namespace Effekter {

Prikker::Prikker(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    for (size_t i = 0; i < images.size(); ++i)
        images[i].load(context.files.open(
            "data/mirok/prikker/prik" + std::to_string(i + 1) + ".png", ShowFileKind::Picture));
    placeDots();
}

// A fixed seed places the dots identically in every run: a row 250 units long along x.
void Prikker::placeDots() {
    prng::seed(100);
    for (int i = 0; i < dotCount; ++i) {
        const float r1 = randomUnit();
        const float r2 = randomUnit();
        const float r3 = randomUnit();
        const float r4 = randomUnit();
        const float r5 = randomUnit();
        Dot& dot = dots[size_t(i)];
        dot.position = Vec3(r3 + 0.25f * float(i), r2, r1);
        dot.brightness = std::fabs(r4 * 2);
        dot.imageIndex = 2;
        dot.speed = r5 * 0.001f;
    }
}

void Prikker::draw(uint32_t time, float) {
    const float E = float(int32_t(time - startTime));
    CTransparency additive(GL_ONE, GL_ONE);
    MatrixPush push;
    glTranslatef(0, 0, -10);
    const Quad quad(1, 1);
    for (const Dot& dot : dots) {
        MatrixPush dotPush;
        const float travelled = dot.speed * E;
        // Negative values clamp to black, so each dot blinks as the sine turns.
        const float c = std::sin(travelled) * dot.brightness;
        glColor4f(c, c, c, c);
        glTranslatef(dot.position.x, dot.position.y, dot.position.z);
        glTranslatef(-travelled, 0, 0);
        rotateByDegrees(Vec3(0, 0, travelled * 10));
        TextureBinding binding(images[dot.imageIndex]);
        quad.draw(1, 1);
    }
}

} // namespace Effekter
