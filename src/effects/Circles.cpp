#include "effects/Circles.h"

#include "render/GLState.h"

namespace Effekter {

namespace {

constexpr const char* circleShaderPath = "data/circles/circles.txt";
constexpr uint32_t sliderMs = 1000;

// One full-screen layer under the orthographic view: the quad of the given half size, translated
// by (0, lift, -2), textured with the image. A program in use is switched off after the quad.
void drawLayer(const CTexture& image, float halfSize, float lift = 0) {
    OrthoView ortho;
    MatrixPush layer;
    glTranslatef(0, lift, -2);
    TextureBinding binding(image);
    Quad(halfSize, halfSize).draw(1, 1);
    glUseProgram(0);
}

} // namespace

Circles::Circles(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    program.build(context.files.open(circleShaderPath, ShowFileKind::Shader));
    ringImage.load(context.files.open("data/circles/__ring.jpg", ShowFileKind::Picture));
    timeLocation = uniformLocation(program, "time");
}

void Circles::draw(uint32_t time, float) {
    glUseProgram(program.program);
    glUniform1f(timeLocation, float(time));
    drawLayer(ringImage, 1);
}

Faces::Faces(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    program.build(context.files.open(circleShaderPath, ShowFileKind::Shader));
    picture.load(context.files.open("data/circles/circles.jpg", ShowFileKind::Picture));
    textImage.load(context.files.open("data/circles/text.jpg", ShowFileKind::Picture));
    glUseProgram(program.program);
    timeLocation = uniformLocation(program, "time");
    beatLocation = uniformLocation(program, "beat");
    glUseProgram(0);
}

void Faces::draw(uint32_t time, float beat) {
    glUseProgram(program.program);
    glUniform1f(timeLocation, float(time));
    glUniform1f(beatLocation, beat);
    glColor4f(beat, beat, beat, beat);
    drawLayer(picture, 1);

    CTransparency glow(GL_ONE, GL_ONE);
    glColor4f(0.1f * beat, 0.1f * beat, 0.1f * beat, beat);
    drawLayer(textImage, 1);
}

Banger::Banger(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    program.build(context.files.open("data/bravelund/banger/slider.txt", ShowFileKind::Shader));
    firstImage.load(context.files.open("data/bravelund/banger/bang.jpg", ShowFileKind::Picture));
    secondImage.load(context.files.open("data/bravelund/banger/bang1.jpg", ShowFileKind::Picture));
    timeLocation = uniformLocation(program, "time");
}

void Banger::draw(uint32_t time, float beat) {
    const uint32_t elapsed = time - startTime;
    const float lift = beat * 0.1f;
    if (elapsed < sliderMs)
        drawSlider(elapsed, lift);
    else
        drawFlashes(lift, beat);
}

void Banger::drawSlider(uint32_t elapsed, float lift) {
    glUseProgram(program.program);
    glUniform1f(timeLocation, float(elapsed));
    glColor4f(1, 1, 1, 1);
    drawLayer(firstImage, 1.1f, lift);
}

// Wipes the frame, then adds the first image and the second one weighted by the beat.
void Banger::drawFlashes(float lift, float beat) {
    CTransparency add(GL_ONE, GL_ONE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    OrthoView ortho;
    MatrixPush layer;
    glTranslatef(0, lift, -2);
    const Quad quad(1.1f, 1.1f);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, firstImage.textureId);
    quad.draw(1, 1);
    glColor4f(beat, beat, beat, beat);
    glBindTexture(GL_TEXTURE_2D, secondImage.textureId);
    quad.draw(1, 1);
    glBindTexture(GL_TEXTURE_2D, 0);
}

} // namespace Effekter
