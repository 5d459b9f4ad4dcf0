#include "effects/Spheres.h"

#include "render/GLState.h"
#include "render/Random.h"
#include "render/TexturedCube.h"

#include <cmath>

namespace Effekter {

namespace {

constexpr float cubeHalfEdge = 0.075f;

float randomValue() { return float(prng::next()) / float(prng::maxValue); }

} // namespace

Spheres::Spheres(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    screenProgram.build(
        context.files.open("data/bravelund/spheres/shader.fs", ShowFileKind::Shader));
    backgroundImage.load(
        context.files.open("data/bravelund/spheres/towers.png", ShowFileKind::Picture));
    environmentImage.load(
        context.files.open("data/bravelund/spheres/towerenv.png", ShowFileKind::Picture));
    sphereImage.load(context.files.open("data/bravelund/spheres/white.png", ShowFileKind::Picture));
    target.emplace();
}

void Spheres::Light::switchOn() {
    glGetFloatv(GL_CURRENT_COLOR, savedColour);
    glShadeModel(shadeModel);

    const float materialAmbient[4] = {0.1f, 0.1f, 0.1f, 1};
    const float materialDiffuse[4] = {0.4f, 0.4f, 0.4f, 1};
    const float materialSpecular[4] = {1.8f, 1.8f, 1.8f, 1};
    const float materialEmission[4] = {0.1f, 0.1f, 0.1f, 0};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, materialAmbient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, materialDiffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialSpecular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, materialEmission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 100);

    const float spotDirection[3] = {1, -1, -1};
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, spotDirection);
    // 128 is the largest exponent OpenGL accepts (130 is refused with an error); with a cut-off
    // of 180 the light has no cone and the exponent does not matter.
    glLightf(GL_LIGHT0, GL_SPOT_EXPONENT, 128);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 180);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 1);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0);

    glLightfv(light, GL_SPECULAR, specular);
    glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_POSITION, position);
    glEnable(light);
}

void Spheres::Light::switchOff() const {
    glDisable(light);
    glColor4fv(savedColour);
}

float Spheres::streamPosition(int i, uint32_t elapsed) {
    return float(i) / 200.0f - float(elapsed) / 500.0f + 10.0f;
}

void Spheres::drawBackground(float tf) const {
    OrthoView ortho;
    rotateByDegrees(Vec3(0, 0, tf / 1000.0f));
    TextureBinding binding(backgroundImage);
    glColor4f(1, 1, 1, 1);
    glTranslatef(0, 0, -2);
    const float halfSize = std::abs(std::sin(0.0002f * tf)) + 1.5f;
    Quad(halfSize, halfSize).draw(1, 1);
}

void Spheres::drawSphere(float tf, float beat) const {
    TextureBinding binding(sphereImage);
    MatrixPush push;
    const float a1 = randomValue();
    const float a2 = randomValue();
    const float a3 = randomValue();
    rotateByDegrees(Vec3(tf * a3 / 10.0f, tf * a2 / 10.0f, tf * a1 / 10.0f));
    gluSphere(sphere.get(), beat + 1.5f, 16, 10);
}

// The cubes swell out of the sphere where they pass through it and bend away in depth on either
// side; every cube's place and spin come from the generator seeded once per frame.
void Spheres::drawCubeStream(float tf, uint32_t elapsed, float beat) const {
    const float bulge = beat + 2.5f;
    const float swell = 0.2f * beat + 1.0f;
    const TexturedCubeArrays cube(cubeHalfEdge);
    for (int i = 0; i < cubeCount; ++i) {
        const float q = streamPosition(i, elapsed);
        const float a = std::abs(q);
        const float depth = std::max(0.0f, 2.5f - a * a / bulge);
        const float pushOut = depth * swell;
        const float y0 = 1.0f - 2.0f * randomValue();
        prng::next();
        const float z0 = 1.0f - 2.0f * randomValue();
        const float z1 = q < 0 ? z0 + a * a / 4.0f : z0 - a * a / 4.0f;

        MatrixPush push;
        glTranslatef(q, y0 * (1.0f + pushOut), z1 * (1.0f + pushOut));
        const float b1 = randomValue();
        const float b2 = randomValue();
        const float b3 = randomValue();
        glRotatef(tf * b3, 1, 0, 0);
        glRotatef(tf * b2, 0, 1, 0);
        glRotatef(tf * b1, 0, 0, 1);
        cube.draw();
    }
}

void Spheres::drawScene(float tf, uint32_t elapsed, float beat) {
    glColor4f(1, 1, 1, 1);
    CEnabler depthTest(GL_DEPTH_TEST);
    MatrixPush push;
    glTranslatef(0, 0, std::abs(10.0f * std::sin(0.0002f * tf)) - 20.0f);
    rotateByDegrees(Vec3(180, 0, tf / 1000.0f));
    glColor4f(1, 1, 1, 1);
    prng::seed(123);
    drawSphere(tf, beat);

    CEnabler lighting(GL_LIGHTING);
    light.switchOn();
    glDisable(GL_TEXTURE_2D);
    drawCubeStream(tf, elapsed, beat);
    glEnable(GL_TEXTURE_2D);
    light.switchOff();
}

void Spheres::drawOnScreen() const {
    glUseProgram(screenProgram.program);
    OrthoView ortho;
    glBindTexture(GL_TEXTURE_2D, target->colourTexture);
    glColor4f(1, 1, 1, 1);
    glTranslatef(0, 0, -2);
    Quad(1, 1).draw(1, 1);
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void Spheres::draw(uint32_t time, float beat) {
    const float tf = float(time);
    target->bind();
    drawBackground(tf);
    drawScene(tf, time - startTime, beat);
    target->unbind();
    drawOnScreen();
}

} // namespace Effekter
