#include "effects/Brum.h"

#include "render/GLState.h"
#include "render/Random.h"

#include <cmath>

namespace Effekter {

void Brum::Particle::positionAt(uint32_t t, Vec3& position, float& fade) const {
    const float c = float(t - birth) / float(death - birth);
    fade = 1 - c;
    const float drift = c * speed;
    position = Vec3(origin.x + drift * direction.x, origin.y + drift * direction.y,
                    origin.z + drift * direction.z);
}

Brum::Brum(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end), lastSpawn_(context.shared.get<BrumSpawn>()) {
    spriteImage.load(context.files.open("data/mirok/brum/brum.png", ShowFileKind::Picture));
    backgroundImage.load(
        context.files.open("data/mirok/brum/pastelmand.jpg", ShowFileKind::Picture));
    starImage.load(context.files.open("data/mirok/brum/stjern1.jpg", ShowFileKind::Picture));
    name = "Brum";
}

void Brum::registerTweaks(TweakRegistry& tweaks) {
    tweaks.addVariable(tweakBar, "BGPos", TweakDir3F, &bgPos, "label='Bg pos'");
    tweaks.addVariable(tweakBar, "BGScale", TweakDir3F, &bgScale, "label='Bg scale'");
}

Vec3 Brum::pathAt(float T) {
    return Vec3(std::sin(T / 1000), std::cos(T / 2000), -4 - std::cos(T / 40000));
}

void Brum::draw(uint32_t time, float) {
    const Vec3 P = pathAt(float(time));
    if (time - lastSpawn_.last > spawnInterval)
        spawn(time, P);
    drawBackground(time);
    {
        TextureBinding star(starImage);
        CTransparency blend(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
        drawParticles(time);
        CTransparency alphaBlend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        drawSprite(P);
    }
}

void Brum::spawn(uint32_t time, const Vec3& origin) {
    const float r1 = randomUnit();
    const float r2 = randomUnit();
    const float r3 = randomUnit();
    const float r4 = randomUnit();
    const float r5 = randomUnit();
    const uint32_t death = uint32_t(int64_t(float(time) + r4 * 10000));
    // A particle that dies at its birth would never be seen (and has no fade to compute).
    if (death != time)
        particles.push_back({origin, Vec3(r3, r2, r1), r5 * 0.5f, time, death});
    lastSpawn_.last = time;
}

void Brum::drawBackground(uint32_t time) {
    MatrixPush push;
    glTranslatef(bgPos.x, bgPos.y, bgPos.z);
    rotateByDegrees(Vec3(0, 0, -float(time) * 0.01f)); // clockwise, a degree per 100 ms
    glColor4f(1, 1, 1, 1);
    TextureBinding binding(backgroundImage);
    Quad(bgScale.x, bgScale.y).draw(1, 1);
}

// Particles whose death has passed are dropped, so the list holds at most the last ten seconds of
// births. Particles born after `time` (after a backward seek) are kept but not drawn.
void Brum::drawParticles(uint32_t time) {
    const Quad star(0.15f, 0.15f);
    for (auto it = particles.begin(); it != particles.end();) {
        const Particle& particle = *it;
        if (time > particle.death) {
            it = particles.erase(it);
            continue;
        }
        ++it;
        if (time < particle.birth)
            continue;
        Vec3 position;
        float fade = 0;
        particle.positionAt(time, position, fade);
        MatrixPush push;
        glTranslatef(position.x, position.y, position.z);
        rotateByDegrees(Vec3(0, 0, fade * 40));
        glColor4f(fade, fade, fade, fade);
        star.draw(1, 1);
    }
}

// The sprite is turned to face along its position around the view axis.
void Brum::drawSprite(const Vec3& at) {
    MatrixPush push;
    glTranslatef(at.x, at.y, at.z);
    const float phi = std::atan2(at.x, at.y);
    rotateByDegrees(Vec3(0, 0, 180 - phi * 360 / 3.14f));
    glColor4f(1, 1, 1, 1);
    glTranslatef(-1, 0, 0);
    TextureBinding binding(spriteImage);
    Quad(1, 1).draw(1, 1);
}

} // namespace Effekter
