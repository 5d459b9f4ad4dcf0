#include "effects/Manden.h"

#include "render/GLState.h"

#include <cmath>

namespace Effekter {

namespace {

// A tube of this radius winds at the same radius about the y axis.
constexpr float helixRadius = 5.0f;

} // namespace

Manden::Manden(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    figureImage.load(
        context.files.open("data/bravelund/mansphere/manden.png", ShowFileKind::Picture));
    greetingsImage.load(
        context.files.open("data/bravelund/mansphere/greets.png", ShowFileKind::Picture));
    helixImage.load(context.files.open("data/bravelund/mansphere/pole.jpg", ShowFileKind::Picture));
    screenProgram.build(
        context.files.open("data/bravelund/mansphere/manden.fs", ShowFileKind::Shader));
    target.emplace();
    for (int i = 0; i <= helixSteps; ++i) {
        const float around = 6.2831855f * float(i) / float(helixSteps);
        aroundCos[i] = std::cos(around);
        aroundSin[i] = std::sin(around);
    }
}

float Manden::greetingsOffset(uint32_t time) const {
    const uint32_t elapsed = time - startTime;
    const uint32_t span = endTime - startTime;
    return 4.0f * float(elapsed) / float(span) - 2.0f;
}

float Manden::helixSlide(float s) { return s < 0.5f ? 30.0f - 100.0f * s : -20.0f; }

void Manden::composeLayers(uint32_t time, float beat) {
    target->bind();
    {
        glColor4f(1, 1, 1, 1);
        OrthoView ortho;
        MatrixPush push;
        glTranslatef(0, 0, -2);
        TextureBinding binding(figureImage);
        Quad(1, 1).draw(1, 1);
    }
    {
        glColor4f(1, 1, 1, 1);
        OrthoView ortho;
        MatrixPush push;
        glTranslatef(greetingsOffset(time), 0, -2);
        TextureBinding binding(greetingsImage);
        CTransparency blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        const float c = 1.0f - 0.25f * beat;
        glColor4f(c, c, c, c);
        Quad(1.5f, 1.5f).draw(1, 1);
    }
    target->unbind();
}

// Quad(1, -1) puts the target's bottom row at the bottom of the screen.
void Manden::drawOnScreen() const {
    glColor4f(1, 1, 1, 1);
    glUseProgram(screenProgram.program);
    OrthoView ortho;
    glBindTexture(GL_TEXTURE_2D, target->colourTexture);
    glTranslatef(0, 0, -2);
    Quad(1, -1).draw(1, 1);
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// One tube of the helix; side +1 and -1 give the two strands, whose centre lines lie opposite
// each other. The wobble of strand +1 follows a sine, that of strand -1 a cosine.
void Manden::drawStrand(float side, float s) {
    const float n = float(helixSteps);
    float twistSin[helixSteps + 1];
    float twistCos[helixSteps + 1];
    for (int j = 0; j <= helixSteps; ++j) {
        const float y = float(j - 50);
        const float wobble =
            side > 0 ? 0.5f * std::sin(0.25f * y + s) : 0.5f * std::cos(0.25f * y + s);
        const float twist =
            6.28f * std::sin(s + 0.0143258f * float(j)) + 0.09242429f * float(j) + wobble;
        twistSin[j] = side * helixRadius * std::sin(twist);
        twistCos[j] = side * helixRadius * std::cos(twist);
    }
    auto corner = [&](int i, int j) {
        glTexCoord2f(float(i) / n + 0.25f, float(j) / n);
        glVertex3f(helixRadius * aroundCos[i] + twistSin[j], float(j - 50),
                   helixRadius * aroundSin[i] + twistCos[j]);
    };
    glBegin(GL_QUADS);
    for (int i = 0; i < helixSteps; ++i)
        for (int j = 0; j < helixSteps; ++j) {
            corner(i, j);
            corner(i + 1, j);
            corner(i + 1, j + 1);
            corner(i, j + 1);
        }
    glEnd();
}

void Manden::drawHelix(float s) {
    MatrixPush push;
    glTranslatef(0, 0, -10);
    TextureBinding binding(helixImage);
    MatrixPush slide;
    glTranslatef(helixSlide(s), 0, -50);
    drawStrand(1, s);
    drawStrand(-1, s);
}

void Manden::draw(uint32_t time, float beat) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    composeLayers(time, beat);
    drawOnScreen();
    CEnabler depthTest(GL_DEPTH_TEST);
    drawHelix(float(time - startTime) / 1000.0f);
}

} // namespace Effekter
