#include "effects/BallsBounce.h"

#include "render/GLState.h"
#include "render/QuadricObject.h"
#include "render/Random.h"

#include <cmath>

namespace Effekter {

namespace {

constexpr int ballCount = 500;
constexpr uint32_t ballSeed = 123;
constexpr float slideInMs = 500;
constexpr float hiddenBelowY = -25;

} // namespace

BallsBounce::BallsBounce(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end), ballModel([] { gluSphere(QuadricObject().get(), 2.0, 20, 10); }) {
    floorProgram.build(
        context.files.open("data/bravelund/bounce/floorshader.fs", ShowFileKind::Shader));
    boardImage.load(context.files.open("data/bravelund/bounce/skak.png", ShowFileKind::Picture));
    shadowImage.load(context.files.open("data/bravelund/bounce/skygge.png", ShowFileKind::Picture));
    ballProgram.load(
        context.files.open("data/bravelund/bounce/cubeshader.fs", ShowFileKind::Shader),
        context.files.open("data/bravelund/bounce/cubeshader.vs", ShowFileKind::Shader));
}

void BallsBounce::draw(uint32_t time, float beat) {
    const float elapsed = float(time - startTime);
    const float span = float(endTime - startTime);
    const Frame frame{float(time), elapsed, 1 - elapsed / span, beat};
    const float slideIn = elapsed < slideInMs ? 1 - elapsed / slideInMs : 0;

    CEnabler depthTest(GL_DEPTH_TEST);
    MatrixPush scene;
    glTranslatef(100 * slideIn, 0, -40);
    rotateByDegrees(Vec3(5 * beat - 55, 10 * std::sin(0.0001f * frame.t), 90 * slideIn));
    drawFloor(frame.t);
    drawShadows(frame);
    drawBalls(frame);
}

void BallsBounce::drawFloor(float t) {
    glUseProgram(floorProgram.program);
    {
        MatrixPush board;
        TextureBinding binding(boardImage);
        Quad(60, 60).drawOffset(6, 6, 0, 0.005f * t);
    }
    glUseProgram(0);
}

// Seeds the shared generator and walks the 500 balls in order, drawing four random values for
// every ball (also for hidden ones) so both passes see the same balls.
template <class BallAction> void BallsBounce::forEachBall(const Frame& frame, BallAction action) {
    prng::seed(ballSeed);
    for (int i = 0; i < ballCount; ++i) {
        const float r1 = randomUnit(), r2 = randomUnit();
        const float r3 = randomUnit(), r4 = randomUnit();
        Ball ball{};
        ball.y = 4.1f * float(i) - 0.05f * frame.elapsed;
        if (ball.y <= hiddenBelowY)
            continue;
        ball.x = 10 - 20 * r1 + 100 / std::fabs(ball.y + 40);
        ball.amplitude = 25 * r2 * frame.beat;
        ball.bounce = std::fabs(std::sin(r3 * 0.01f * frame.t + r4));
        action(ball);
    }
}

// A ball on the floor casts a full-size opaque shadow; a ball high up a small, faint one.
void BallsBounce::drawShadows(const Frame& frame) {
    forEachBall(frame, [&](const Ball& ball) {
        glDisable(GL_DEPTH_TEST);
        MatrixPush shadowFrame;
        glTranslatef(ball.x, ball.y, -0.5f);
        CTransparency blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        const float opacity = 1 - ball.bounce * frame.remain;
        glColor4f(opacity, opacity, opacity, opacity);
        {
            TextureBinding binding(shadowImage);
            Quad(5 * opacity, 5 * opacity).draw(1, 1);
            glColor4f(1, 1, 1, 1);
            glEnable(GL_DEPTH_TEST);
        }
    });
}

void BallsBounce::drawBalls(const Frame& frame) {
    glUseProgram(ballProgram.program);
    forEachBall(frame, [&](const Ball& ball) {
        MatrixPush ballFrame;
        glTranslatef(ball.x, ball.y, ball.bounce * frame.remain * ball.amplitude + 0.9f);
        ballModel.call();
    });
    glUseProgram(0);
}

} // namespace Effekter
