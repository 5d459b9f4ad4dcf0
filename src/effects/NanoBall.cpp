#include "effects/NanoBall.h"

#include "render/GLState.h"
#include "render/Random.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Effekter {

namespace {

constexpr uint32_t fadeOutMs = 7000;
constexpr float loudBeat = 0.25f;
constexpr float beatEventLevel = 0.7f;
constexpr uint32_t beatEventGapMs = 300;
constexpr int spikesPerFinish = 64;

float degrees(float radians) { return radians * 180.0f / std::numbers::pi_v<float>; }

} // namespace

NanoBall::NanoBall(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end), sharedBeat_(context.shared.get<BeatState>()) {
    tubeImage.load(
        context.files.open("data/bravelund/nanoball/zoomer1.jpg", ShowFileKind::Picture));
    flareImage.load(context.files.open("data/bravelund/nanoball/flare.jpg", ShowFileKind::Picture));
    backgroundImage.load(
        context.files.open("data/bravelund/nanoball/bg.jpg", ShowFileKind::Picture));
    spikeProgram.load(
        context.files.open("data/bravelund/nanoball/cubeshader.fs", ShowFileKind::Shader),
        context.files.open("data/bravelund/nanoball/cubeshader.vs", ShowFileKind::Shader));
    bendProgram.build(context.files.open("data/bravelund/nanoball/bend.fs", ShowFileKind::Shader));
    name = "NanoBall";
}

void NanoBall::registerTweaks(TweakRegistry& tweaks) {
    tweaks.addVariable(tweakBar, "Light pos", TweakDir3F, lightPosition, "label='Light pos'");
    tweaks.addVariable(tweakBar, "Light amb", TweakColor4F, lightAmbient, "label='Light amb'");
    tweaks.addVariable(tweakBar, "Light spc", TweakColor4F, lightSpecular, "label='Light spc'");
    tweaks.addVariable(tweakBar, "Light dif", TweakColor4F, lightDiffuse, "label='Light dif'");
    tweaks.addVariable(tweakBar, "Light ref", TweakColor4F, lightReflection, "label='Light ref'");
}

int NanoBall::spikeCount(uint32_t elapsed) { return int(std::min<uint32_t>(elapsed, maxSpikes)); }

float NanoBall::brightness(uint32_t time, float beat) const {
    float f = 0.5f * beat + 0.5f;
    if (time > endTime - fadeOutMs)
        f = f * float(endTime - time) / float(fadeOutMs);
    return f;
}

void NanoBall::drawBackground(uint32_t elapsed) const {
    TextureBinding binding(backgroundImage);
    OrthoView ortho;
    MatrixPush push;
    glTranslatef(0, 0, -2);
    glRotatef(0.001f * float(elapsed), 0, 0, 1);
    const float halfSize = 0.00003f * float(elapsed) + 1.1f;
    Quad(halfSize, halfSize).draw(1, 1);
}

void NanoBall::countBeatEvent(uint32_t time, float beat) {
    if (!sharedBeat_.started) {
        sharedBeat_.started = true;
        sharedBeat_.lastBeatEvent = time;
    }
    if (time - sharedBeat_.lastBeatEvent > beatEventGapMs && beat > beatEventLevel) {
        ++sharedBeat_.beatCount;
        sharedBeat_.lastBeatEvent = time;
        if (sharedBeat_.beatCount % 4 == 0)
            ++sharedBeat_.barCount;
        // Two values are skipped: the spikes look different for the frame of the beat.
        prng::next();
        prng::next();
    }
}

void NanoBall::placeBall(uint32_t time, uint32_t elapsed) const {
    const float tf = float(time);
    const float slide = elapsed < 500 ? 10.0f - float(elapsed) / 50.0f : 0.0f;
    const float sinceLoud = float(time - lastLoud);
    const int32_t beats = sharedBeat_.beatCount;
    const float x = 10.0f * std::abs(std::sin(0.0095f * tf)) + slide - 4.0f - float(beats % 10);
    const float y = 10.0f * std::sin(0.0002f * tf) + sinceLoud / 100.0f;
    const float z = -18.0f - 3.0f * float(beats % 4) * float(sharedBeat_.barCount);
    glTranslatef(x, y, z);
    glRotatef(sinceLoud / 28.0f * float(beats % 2) + tf / 10.0f, 1, 0, 0);
    glRotatef(sinceLoud / 18.0f, 0, 1, 0);
    glRotatef(tf / 50.0f + 20.0f * slide, 0, 0, 1);
}

// Spike k points along the k-th direction of a golden-angle spiral over the unit sphere.
void NanoBall::drawSpikes(int count, float tf) const {
    const float step = 2.0f / float(count);
    const float offset = step / 2.0f;
    const float golden = (3.0f - std::sqrt(5.0f)) * std::numbers::pi_v<float>;
    const float phase0 = tf / 1000.0f;
    for (int k = 0; k < count; ++k) {
        const float dy = float(k) * step - 1.0f + offset;
        const float r = std::sqrt(std::max(0.0f, 1.0f - dy * dy));
        const float phi = float(k) * golden;
        const float dx = std::cos(phi) * r;
        const float dz = std::sin(phi) * r;

        const int shortening = prng::next() & 31;
        const float wobble = float(prng::next()) / float(prng::maxValue);
        const float length =
            8.0f - 0.2f * float(shortening) + std::sin(wobble * 2.0f * float(count) + phase0);

        MatrixPush push;
        glRotatef(degrees(std::atan2(dx, dz)), 0, 1, 0);
        glRotatef(degrees(std::atan2(std::sqrt(dx * dx + dz * dz), dy)) - 90.0f, 1, 0, 0);
        glBindTexture(GL_TEXTURE_2D, tubeImage.textureId);
        gluCylinder(tube.get(), 0.5, 0.5, length, 4, 1);
        glTranslatef(0, 0, length);
        glBindTexture(GL_TEXTURE_2D, flareImage.textureId);
        gluDisk(tube.get(), 0, 0.5, 4, 1);
        glBindTexture(GL_TEXTURE_2D, 0);
        // A software renderer keeps what each of these small draws needs until the picture is
        // drawn: a whole ball held about 50 MB at 1280x720. Finishing the drawing every few
        // dozen spikes keeps that down to a few MB; the pixels are the same.
        if ((k + 1) % spikesPerFinish == 0)
            glFinish();
    }
}

int NanoBall::stepState(uint32_t time, float beat) {
    if (beat > loudBeat)
        lastLoud = time;
    prng::seed(0);
    countBeatEvent(time, beat);
    return spikeCount(time - startTime);
}

void NanoBall::draw(uint32_t time, float beat) {
    const uint32_t elapsed = time - startTime;
    const float f = brightness(time, beat);
    glColor4f(f, f, f, f);
    drawBackground(elapsed);

    CEnabler depthTest(GL_DEPTH_TEST);
    CEnabler culling(GL_CULL_FACE);
    MatrixPush push;
    const int count = stepState(time, beat);
    placeBall(time, elapsed);
    glUseProgram(spikeProgram.program);
    if (count > 0)
        drawSpikes(count, float(time));
    glUseProgram(0);
}

} // namespace Effekter
