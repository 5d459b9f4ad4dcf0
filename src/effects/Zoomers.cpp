#include "effects/Zoomers.h"

#include "render/GLState.h"
#include "render/Random.h"

#include <algorithm>
#include <cmath>

namespace Effekter {

TileZoomer::TileZoomer(const EffectContext& context, int32_t start, int32_t end,
                       const char* sparePath, const char* tilePath)
    : Effekt(start, end) {
    spareImage.load(context.files.open(sparePath, ShowFileKind::Picture));
    tileImage.load(context.files.open(tilePath, ShowFileKind::Picture));
    backgroundImage.load(context.files.open("data/zoomer/bg.jpg", ShowFileKind::Picture));
    glowImage.load(context.files.open("data/zoomer/bg1.jpg", ShowFileKind::Picture));
}

Zoomba::Zoomba(const EffectContext& context, int32_t start, int32_t end)
    : TileZoomer(context, start, end, "data/zoomer/zoomer1.jpg", "data/zoomer/zoomer2.jpg") {}

Zoombb::Zoombb(const EffectContext& context, int32_t start, int32_t end)
    : TileZoomer(context, start, end, "data/zoomer/zoomer2-old.jpg",
                 "data/zoomer/zoomer2-old.jpg") {}

void TileZoomer::draw(uint32_t time, float beat) {
    const float T = float(time);
    const float A = T * 0.0025f;
    const float S = std::sin(T * 0.00015f);
    const float K = std::cos(T * 0.0001f);
    const float B = beat * 0.0125f;

    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);

    {
        OrthoView flat;
        MatrixPush push;
        glTranslatef(0.5f * K, B - 0.5f * S, -1);
        rotateByDegrees(Vec3(0, 0, -std::cos(A / 2) * std::sin(A) * 90));
        // A quarter larger than the screen on each side, so the sway never shows an edge.
        const Quad layer(1.25f, 1.25f);
        glColor4f(1, 1, 1, 1);
        {
            TextureBinding background(backgroundImage);
            layer.draw(1, 1);
        }
        CTransparency additive(GL_ONE, GL_ONE);
        const float glow = beat + 0.1f;
        glColor4f(glow, glow, glow, glow);
        TextureBinding binding(glowImage);
        layer.draw(1, 1);
    }

    MatrixPush push;
    CTransparency blend(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    const Quad tile(0.5f, 0.5f);
    for (int i = -100; i <= -1; ++i) { // far to near
        const float Z = float(i) / 50;
        MatrixPush tilePush;
        const float W = 0.65f * Z;
        const float P = W * W * W * W;
        glTranslatef(K * P, S * P + B, Z);
        rotateByDegrees(Vec3(0, 0, 90 * std::sin(Z + A) * std::cos(Z + A / 2)));
        // Inverse-square brightness; above 1 it clamps, so the nearer tiles are fully bright.
        const float root = 1 / std::sqrt(Z * Z);
        const float c = root * root;
        glColor4f(c, c, c, c);
        TextureBinding binding(tileImage);
        tile.draw(1, 1);
    }
}

Solaris::Solaris(const EffectContext& context, int32_t start, int32_t end) : Effekt(start, end) {
    spriteImage.load(context.files.open("data/solaris/solaris1.jpg", ShowFileKind::Picture));
    beatImage.load(context.files.open("data/solaris/solaris2.jpg", ShowFileKind::Picture));
    maskImage.load(context.files.open("data/solaris/it.jpg", ShowFileKind::Picture));
}

void Solaris::draw(uint32_t time, float beat) {
    const float T = float(time);
    {
        CTransparency additive(GL_ONE, GL_ONE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawSprites(T, beat);
    }
    drawMask(beat);
}

void Solaris::drawSprites(float T, float beat) {
    MatrixPush push;
    rotateByDegrees(Vec3(0, 2 * beat, T * 0.05f));
    prng::seed(4);
    const float D = T * 0.002f;
    const Quad sprite(1, 1);
    const bool skipBlack = blackAddsNothing();
    // z falls with i, so the drawn sprites are always a prefix and sprite i always takes the
    // (i + 1)-th value after the seed.
    for (int i = 0; i < spriteCount; ++i) {
        const float z = D - float(i) / 3;
        if (!(z > farthestSprite))
            break;
        const float r = 0.05f * z * z;
        const float y = r * r;
        MatrixPush spritePush;
        glTranslatef(r, y, z);
        const float angle = float(i) * randomUnit() * 20 + T * 0.005f;
        rotateByDegrees(Vec3(0, 0, angle));
        const float root = 1 / std::sqrt(y + y * y + z * z); // r * r is y
        // Colours clamp at 1 anyway; the limit keeps a sprite at the eye (distance 0) finite.
        const float c = std::min(root * root, 1.0f);
        glColor4f(c, c, c, c);
        {
            TextureBinding binding(spriteImage);
            sprite.draw(1, 1);
        }
        // Negative in front of the viewer: clamps to black and adds nothing there.
        const float k = z * 0.125f * beat;
        glColor4f(k, k, k, k);
        if (k > 0 || !skipBlack) {
            TextureBinding binding(beatImage);
            sprite.draw(1, 1);
        } else {
            sprite.leaveAttributesOfDraw(1, 1);
        }
    }
}

void Solaris::drawMask(float beat) {
    // Bright parts of the mask darken the picture.
    CTransparency darken(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    OrthoView flat;
    MatrixPush push;
    glTranslatef(0, beat * 0.12f, -1);
    glColor4f(1, 1, 1, 1);
    TextureBinding binding(maskImage);
    Quad(1.25f, 1.25f).draw(1, 1);
}

} // namespace Effekter
