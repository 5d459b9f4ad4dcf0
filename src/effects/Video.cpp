#include "effects/Video.h"

#include "effects/FramedComposite.h"
#include "render/GLState.h"

#include <cmath>
#include <cstring>

namespace Effekter {

namespace {

const char* const videoPath = "data/mirok/video/Video.avi";

// Draws a white quad of the given half sizes at z = -2 under the current view.
void drawLayerQuad(float halfWidth, float halfHeight) {
    glColor4f(1, 1, 1, 1);
    Quad(halfWidth, halfHeight).draw(1, 1);
}

} // namespace

Video::Video(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end), pixels(VideoDecoder::frameBytes, 0) {
    frameImage.load(context.files.open("data/mirok/video/frame.png", ShowFileKind::Picture));
    name = "Video";
    composite = std::make_unique<RenderTarget>();
    feedback = std::make_unique<RenderTarget>();
    distortProgram.build(context.files.open("data/mirok/video/distort.fs", ShowFileKind::Shader));
    distortTime = uniformLocation(distortProgram, "time");
    distortBeat = uniformLocation(distortProgram, "beat");
    videoProgram.build(context.files.open("data/mirok/video/video.fs", ShowFileKind::Shader));
    videoTime = uniformLocation(videoProgram, "time");
    videoBeat = uniformLocation(videoProgram, "beat");
    videoIdx = uniformLocation(videoProgram, "idx");
    videoTexture.upload(pixels.data(), VideoDecoder::frameSide, VideoDecoder::frameSide, false,
                        GL_RGBA, true);
    decoder = std::make_unique<VideoDecoder>(context.files.open(videoPath, ShowFileKind::Video));
}

void Video::registerTweaks(TweakRegistry& tweaks) {
    tweaks.addVariable(tweakBar, "Filter effect", TweakInt32, &filterEffect,
                       "label='Filter effect'");
}

void Video::grabFrame(int frameNumber) {
    if (!picturesUnseen) {
        const uint8_t* bgra = decoder->frame(frameNumber);
        for (size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = bgra[i + 2];
            pixels[i + 1] = bgra[i + 1];
            pixels[i + 2] = bgra[i];
            pixels[i + 3] = bgra[i + 3];
        }
    }
    TextureBinding binding(videoTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, VideoDecoder::frameSide, VideoDecoder::frameSide,
                    GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

void Video::videoPass(float tf, float beat) {
    CTransparency blend(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    const int frameNumber = int(std::trunc(tf / 40.0f)) % decoder->frameCount();
    grabFrame(frameNumber);
    glUseProgram(videoProgram.program);
    glUniform1f(videoTime, tf / 1000.0f);
    glUniform1f(videoBeat, beat);
    glUniform1i(videoIdx, filterEffect);
    {
        OrthoView ortho;
        TextureBinding binding(videoTexture);
        glTranslatef(0, 0, -2);
        drawLayerQuad(1, 1.2f);
        glUseProgram(0);
    }
}

void Video::framePass() {
    CTransparency darken(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    OrthoView ortho;
    TextureBinding binding(frameImage);
    glTranslatef(0, 0, -2);
    drawLayerQuad(1, -1);
}

// Draws a target's texture as a full-layer quad into another target.
void Video::drawTargetTexture(RenderTarget& into, GLuint texture, float halfSize,
                              float turnDegrees) const {
    into.bind();
    {
        OrthoView ortho;
        MatrixPush push;
        glTranslatef(0, 0, -2);
        glColor4f(1, 1, 1, 1);
        if (turnDegrees != 0.0f)
            rotateByDegrees(Vec3(0, 0, turnDegrees));
        glBindTexture(GL_TEXTURE_2D, texture);
        Quad(halfSize, halfSize).draw(1, 1);
        into.unbind();
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void Video::refreshComposite(float tf, float beat) {
    // The previous composite comes back one percent larger and slightly turned.
    drawTargetTexture(*composite, feedback->colourTexture, 1.01f, std::sin(tf / 50000.0f));
    composite->bind();
    glClear(GL_DEPTH_BUFFER_BIT);
    videoPass(tf, beat);
    framePass();
    composite->unbind();
    drawTargetTexture(*feedback, composite->colourTexture, 1.0f, 0.0f);
}

void Video::drawOnScreen(float tf, float beat) {
    showFramedComposite(composite->colourTexture, distortProgram, distortBeat, distortTime, beat,
                        tf, frameImage);
}

void Video::draw(uint32_t time, float beat) {
    const float tf = float(time);
    if (float(time - lastUpdate) > 20.0f) {
        lastUpdate = time;
        ++refreshes;
        refreshComposite(tf, beat);
    }
    drawOnScreen(tf, beat);
}

} // namespace Effekter
