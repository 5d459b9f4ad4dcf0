#include "Images.h"
#include "Procedural.h"

#include <cmath>
#include <functional>

namespace fs = std::filesystem;

namespace {

using Shape = std::function<float(float u, float v)>; // signed distance in picture units

void fill(Canvas& c, const Shape& shape, Color color, float feather = 0.004f) {
    c.paint([&](float u, float v) { return coverage(shape(u, v), feather); }, color);
}

Shape ellipse(float cx, float cy, float rx, float ry) {
    return [=](float u, float v) { return ellipseDistance(u, v, cx, cy, rx, ry); };
}
Shape circle(float cx, float cy, float r) { return ellipse(cx, cy, r, r); }
Shape box(float cx, float cy, float hw, float hh, float round = 0) {
    return [=](float u, float v) { return boxDistance(u, v, cx, cy, hw, hh, round); };
}
Shape segment(float ax, float ay, float bx, float by, float halfWidth) {
    return [=](float u, float v) { return segmentDistance(u, v, ax, ay, bx, by, halfWidth); };
}
// The part of `a` outside `b`.
Shape cut(Shape a, Shape b) {
    return [=](float u, float v) { return std::max(a(u, v), -b(u, v)); };
}

struct FaceStyle {
    Color skin, hair, shirt, iris, lips;
    float headWidth = 0.2f, headHeight = 0.26f;
    bool glasses = false, cap = false, beard = false, curls = false, antennae = false;
    float eyeSize = 1.0f;
    bool blankEyes = false; // a statue's eyes
};

// A head and shoulders centred at (cx, cy) (the head's centre), built from simple shapes.
void drawFace(Canvas& c, float cx, float cy, const FaceStyle& s) {
    float w = s.headWidth, h = s.headHeight;
    // Shoulders and neck.
    fill(c, ellipse(cx, cy + h * 2.35f, w * 2.3f, h * 1.1f), s.shirt, 0.006f);
    fill(c, box(cx, cy + h * 1.05f, w * 0.42f, h * 0.45f, 0.02f), s.skin * 0.85f);
    if (s.curls) // hair behind the head
        for (int i = 0; i < 14; ++i) {
            float a = pi * (1.05f + i / 13.0f * 0.9f);
            fill(c,
                 circle(cx + std::cos(a) * w * 1.05f, cy + std::sin(a) * h * 0.95f + h * 0.2f,
                        w * 0.32f),
                 s.hair);
        }
    // Ears and head.
    fill(c, ellipse(cx - w * 0.98f, cy + h * 0.05f, w * 0.16f, h * 0.2f), s.skin * 0.9f);
    fill(c, ellipse(cx + w * 0.98f, cy + h * 0.05f, w * 0.16f, h * 0.2f), s.skin * 0.9f);
    fill(c, ellipse(cx, cy, w, h), s.skin);
    // Cheeks and a light from the upper left.
    fill(c, ellipse(cx - w * 0.3f, cy - h * 0.35f, w * 0.5f, h * 0.4f), gray(1, 0.12f), 0.08f);
    Color blush = {s.lips.r, s.lips.g, s.lips.b, 0.3f};
    fill(c, circle(cx - w * 0.5f, cy + h * 0.3f, w * 0.18f), blush, 0.05f);
    fill(c, circle(cx + w * 0.5f, cy + h * 0.3f, w * 0.18f), blush, 0.05f);
    // Eyes.
    float eyeY = cy - h * 0.05f, eyeDX = w * 0.4f, eyeR = w * 0.17f * s.eyeSize;
    for (float side : {-1.0f, 1.0f}) {
        float ex = cx + side * eyeDX;
        if (s.blankEyes) {
            fill(c, ellipse(ex, eyeY, eyeR * 1.2f, eyeR * 0.7f), s.skin * 0.75f, 0.01f);
            continue;
        }
        fill(c, ellipse(ex, eyeY, eyeR * 1.25f, eyeR * 0.8f), gray(0.97f));
        fill(c, circle(ex + w * 0.03f, eyeY, eyeR * 0.6f), s.iris);
        fill(c, circle(ex + w * 0.03f, eyeY, eyeR * 0.28f), gray(0.02f));
        fill(c, circle(ex + w * 0.0f, eyeY - eyeR * 0.25f, eyeR * 0.14f), gray(1));
        // Eyebrow.
        fill(c,
             segment(ex - eyeR, eyeY - eyeR * 1.5f - side * w * 0.01f, ex + eyeR,
                     eyeY - eyeR * 1.6f + side * w * 0.02f, w * 0.035f),
             s.hair * 0.8f);
    }
    if (s.glasses)
        for (float side : {-1.0f, 1.0f}) {
            float ex = cx + side * eyeDX;
            fill(c, cut(circle(ex, eyeY, eyeR * 1.9f), circle(ex, eyeY, eyeR * 1.6f)), gray(0.1f));
            fill(c, circle(ex, eyeY, eyeR * 1.6f), {0.6f, 0.8f, 1.0f, 0.18f});
        }
    if (s.glasses)
        fill(c, segment(cx - eyeDX + eyeR * 1.8f, eyeY, cx + eyeDX - eyeR * 1.8f, eyeY, 0.004f),
             gray(0.1f));
    // Nose and mouth.
    fill(c, segment(cx + w * 0.02f, cy + h * 0.0f, cx - w * 0.08f, cy + h * 0.3f, w * 0.05f),
         s.skin * 0.8f, 0.01f);
    fill(c,
         cut(ellipse(cx, cy + h * 0.5f, w * 0.35f, h * 0.14f),
             ellipse(cx, cy + h * 0.42f, w * 0.4f, h * 0.12f)),
         s.lips);
    if (s.beard)
        fill(c,
             cut(ellipse(cx, cy + h * 0.55f, w * 0.95f, h * 0.5f),
                 ellipse(cx, cy + h * 0.22f, w * 1.1f, h * 0.42f)),
             s.hair, 0.01f);
    if (s.beard) // the mouth shows through the beard
        fill(c, ellipse(cx, cy + h * 0.52f, w * 0.25f, h * 0.07f), s.lips);
    // Hair on top, or a cap.
    if (s.cap) {
        fill(c,
             cut(ellipse(cx, cy - h * 0.35f, w * 1.08f, h * 0.75f),
                 box(cx, cy + h * 0.3f, w * 2, h * 0.62f)),
             s.hair);
        fill(c, ellipse(cx + w * 0.6f, cy - h * 0.33f, w * 0.85f, h * 0.09f), s.hair * 0.7f);
    } else if (s.curls) {
        for (int i = 0; i < 9; ++i) {
            float a = pi * (1.1f + i / 8.0f * 0.8f);
            fill(c, circle(cx + std::cos(a) * w * 0.85f, cy + std::sin(a) * h * 0.85f, w * 0.28f),
                 s.hair * (0.9f + 0.1f * (i % 2)));
        }
    } else {
        fill(c,
             cut(ellipse(cx, cy - h * 0.25f, w * 1.04f, h * 0.8f),
                 ellipse(cx + w * 0.2f, cy + h * 0.15f, w * 1.1f, h * 0.7f)),
             s.hair);
    }
    if (s.antennae)
        for (float side : {-1.0f, 1.0f}) {
            float tipX = cx + side * w * 0.9f, tipY = cy - h * 1.6f;
            fill(c, segment(cx + side * w * 0.3f, cy - h * 0.9f, tipX, tipY, 0.006f), s.hair);
            fill(c, circle(tipX, tipY, w * 0.12f), s.iris);
        }
}

// A portrait on black, lit from within, for pictures that are added through their colour.
void portraitOnBlack(const fs::path& path, const FaceStyle& style, Color rim) {
    Canvas c(512, 512);
    c.shade([&](float u, float v) {
        float r = std::hypot(u - 0.5f, v - 0.45f);
        return exposure(rim, std::exp(-std::pow((r - 0.36f) / 0.05f, 2.0f)) * 0.8f);
    });
    drawFace(c, 0.5f, 0.42f, style);
    // Fade everything into black at the edges of the picture.
    c.paint(
        [](float u, float v) {
            return smoothstep(0.4f, 0.5f, std::max(std::fabs(u - 0.5f), std::fabs(v - 0.5f)));
        },
        gray(0));
    saveImage(c, path);
}

void miscPortraits(const fs::path& dir) {
    FaceStyle pem;
    pem.skin = {0.95f, 0.75f, 0.6f};
    pem.hair = {0.5f, 0.25f, 0.1f};
    pem.shirt = {0.2f, 0.5f, 0.9f};
    pem.iris = {0.2f, 0.5f, 0.3f};
    pem.lips = {0.85f, 0.35f, 0.35f};
    pem.glasses = true;
    pem.curls = true;
    portraitOnBlack(dir / "pem.jpg", pem, {0.3f, 0.6f, 1.0f});

    FaceStyle mig = pem;
    mig.glasses = false;
    mig.curls = false;
    mig.cap = true;
    mig.beard = true;
    mig.hair = {0.3f, 0.2f, 0.15f};
    mig.shirt = {0.9f, 0.4f, 0.1f};
    mig.iris = {0.2f, 0.35f, 0.8f};
    mig.headWidth = 0.21f;
    portraitOnBlack(dir / "mig.jpg", mig, {1.0f, 0.6f, 0.2f});

    FaceStyle bust;
    bust.skin = {0.85f, 0.85f, 0.82f};
    bust.hair = {0.75f, 0.75f, 0.72f};
    bust.shirt = {0.7f, 0.7f, 0.68f};
    bust.lips = {0.7f, 0.7f, 0.68f};
    bust.iris = bust.skin;
    bust.curls = true;
    bust.blankEyes = true;
    portraitOnBlack(dir / "bust.jpg", bust, {0.8f, 0.8f, 0.7f});

    FaceStyle quelm;
    quelm.skin = {0.45f, 0.85f, 0.4f};
    quelm.hair = {0.2f, 0.5f, 0.25f};
    quelm.shirt = {0.5f, 0.2f, 0.7f};
    quelm.iris = {1.0f, 0.2f, 0.3f};
    quelm.lips = {0.3f, 0.55f, 0.3f};
    quelm.eyeSize = 1.8f;
    quelm.headWidth = 0.23f;
    quelm.headHeight = 0.24f;
    quelm.antennae = true;
    portraitOnBlack(dir / "quelm.jpg", quelm, {0.4f, 1.0f, 0.5f});
}

void flowers(const fs::path& path) {
    Canvas c(512, 512);
    Sequence random(13);
    for (int i = 0; i < 14; ++i) {
        float cx = random.range(0.12f, 0.88f), cy = random.range(0.12f, 0.88f);
        float size = random.range(0.06f, 0.13f);
        int petals = 5 + int(random.next() * 4);
        float turn = random.next() * 2 * pi;
        Color petal = mix(Color{1.0f, 0.3f, 0.5f}, Color{0.9f, 0.8f, 0.2f}, random.next());
        if (random.next() > 0.6f)
            petal = {0.6f, 0.4f, 1.0f};
        c.paint(
            [&](float u, float v) {
                float x = u - cx, y = v - cy;
                float r = std::hypot(x, y), a = std::atan2(y, x) + turn;
                float edge = size * (0.55f + 0.45f * std::fabs(std::cos(a * petals / 2.0f)));
                return coverage(r - edge, 0.006f) * (0.6f + 0.4f * r / edge);
            },
            petal);
        c.paint(
            [&](float u, float v) {
                return coverage(std::hypot(u - cx, v - cy) - size * 0.25f, 0.005f);
            },
            {1.0f, 0.85f, 0.3f});
    }
    saveImage(c, path);
}

// A soft round shadow: black, its opacity in the alpha channel.
void shadowBlob(const fs::path& path) {
    Canvas c(256, 256, {0, 0, 0, 0});
    c.shade([](float u, float v) {
        float r = std::hypot(u * 2 - 1, v * 2 - 1);
        return Color{0, 0, 0, softBlob(r)};
    });
    saveImage(c, path);
}

// A bumblebee seen from above, its head to the right (the direction it flies), on transparency.
void bee(const fs::path& path) {
    Canvas c(256, 256, {0, 0, 0, 0});
    fill(c, ellipse(0.42f, 0.33f, 0.16f, 0.1f), {0.85f, 0.95f, 1.0f, 0.55f}, 0.006f);
    fill(c, ellipse(0.42f, 0.67f, 0.16f, 0.1f), {0.85f, 0.95f, 1.0f, 0.55f}, 0.006f);
    Shape body = ellipse(0.45f, 0.5f, 0.26f, 0.15f);
    fill(c, body, {1.0f, 0.78f, 0.1f, 1});
    for (float x : {0.3f, 0.42f, 0.54f})
        c.paint(
            [&](float u, float v) {
                return coverage(std::max(body(u, v), std::fabs(u - x) - 0.035f), 0.006f);
            },
            {0.1f, 0.08f, 0.05f, 1});
    fill(c, circle(0.74f, 0.5f, 0.08f), {0.12f, 0.1f, 0.08f, 1});
    fill(c, circle(0.78f, 0.46f, 0.02f), {1, 1, 1, 1});
    fill(c, circle(0.78f, 0.54f, 0.02f), {1, 1, 1, 1});
    fill(c, segment(0.8f, 0.46f, 0.9f, 0.38f, 0.006f), {0.1f, 0.08f, 0.05f, 1});
    fill(c, segment(0.8f, 0.54f, 0.9f, 0.62f, 0.006f), {0.1f, 0.08f, 0.05f, 1});
    fill(c, ellipse(0.4f, 0.45f, 0.12f, 0.03f), {1, 1, 1, 0.35f}, 0.02f);
    saveImage(c, path);
}

// Pastel stripes behind a friendly man: the slowly turning Brum background.
void pastelMan(const fs::path& path) {
    Canvas c(512, 512);
    c.shade([](float u, float v) {
        float x = u - 0.5f, y = v - 0.5f;
        float a = std::atan2(y, x);
        float stripe = 0.5f + 0.5f * std::sin(a * 12);
        Color base = mix(Color{1.0f, 0.8f, 0.85f}, Color{0.75f, 0.9f, 1.0f}, stripe);
        return mix(base, Color{1.0f, 0.97f, 0.8f}, std::exp(-(x * x + y * y) * 10));
    });
    FaceStyle man;
    man.skin = {1.0f, 0.85f, 0.75f};
    man.hair = {0.95f, 0.7f, 0.5f};
    man.shirt = {0.6f, 0.85f, 0.7f};
    man.iris = {0.45f, 0.6f, 0.9f};
    man.lips = {1.0f, 0.55f, 0.6f};
    drawFace(c, 0.5f, 0.42f, man);
    saveImage(c, path);
}

// The still figure behind the greetings: a man standing under a night sky, full body, opaque.
void standingMan(const fs::path& path) {
    Canvas c(512, 512);
    c.shade([](float u, float v) {
        Color sky = mix(Color{0.05f, 0.05f, 0.2f}, Color{0.5f, 0.25f, 0.45f}, v);
        float star = hashUnit(int(u * 256), int(v * 256), 0, 44) > 0.995f ? 0.8f : 0.0f;
        Color color = sky + gray(star * (1 - v), 0);
        if (v > 0.86f)
            color = mix(Color{0.1f, 0.08f, 0.15f}, Color{0.2f, 0.15f, 0.25f}, (v - 0.86f) * 7);
        color.a = 1;
        return color;
    });
    fill(c, circle(0.78f, 0.18f, 0.07f), {1.0f, 0.95f, 0.8f}, 0.004f);
    Color coat = {0.15f, 0.25f, 0.45f}, trousers = {0.12f, 0.12f, 0.18f};
    fill(c, segment(0.46f, 0.62f, 0.44f, 0.88f, 0.035f), trousers);
    fill(c, segment(0.54f, 0.62f, 0.56f, 0.88f, 0.035f), trousers);
    fill(c, ellipse(0.43f, 0.89f, 0.05f, 0.02f), gray(0.05f));
    fill(c, ellipse(0.57f, 0.89f, 0.05f, 0.02f), gray(0.05f));
    fill(c, box(0.5f, 0.5f, 0.1f, 0.15f, 0.05f), coat);
    fill(c, segment(0.41f, 0.4f, 0.33f, 0.6f, 0.03f), coat);
    fill(c, segment(0.59f, 0.4f, 0.68f, 0.24f, 0.03f), coat); // a waving arm
    fill(c, circle(0.69f, 0.22f, 0.03f), {0.95f, 0.75f, 0.6f});
    fill(c, circle(0.33f, 0.61f, 0.03f), {0.95f, 0.75f, 0.6f});
    FaceStyle man;
    man.skin = {0.95f, 0.75f, 0.6f};
    man.hair = {0.25f, 0.15f, 0.1f};
    man.shirt = coat;
    man.iris = {0.3f, 0.5f, 0.3f};
    man.lips = {0.8f, 0.4f, 0.4f};
    man.headWidth = 0.06f;
    man.headHeight = 0.075f;
    drawFace(c, 0.5f, 0.26f, man);
    saveImage(c, path);
}

// A face built only from circles, for the circle shader.
void circleFace(const fs::path& path) {
    Canvas c(512, 512);
    Sequence random(21);
    for (int i = 0; i < 90; ++i) { // a halo of bubbles
        float a = random.next() * 2 * pi, r = random.range(0.36f, 0.48f);
        fill(c, circle(0.5f + std::cos(a) * r, 0.5f + std::sin(a) * r, random.range(0.01f, 0.04f)),
             mix(Color{0.2f, 0.6f, 1.0f}, Color{1.0f, 0.4f, 0.8f}, random.next()));
    }
    fill(c, circle(0.5f, 0.5f, 0.3f), {1.0f, 0.8f, 0.3f});
    for (float side : {-1.0f, 1.0f}) {
        fill(c, circle(0.5f + side * 0.11f, 0.43f, 0.07f), gray(1));
        fill(c, circle(0.5f + side * 0.11f + 0.015f, 0.44f, 0.035f), gray(0.05f));
        fill(c, circle(0.5f + side * 0.2f, 0.58f, 0.05f), {1.0f, 0.5f, 0.4f});
    }
    fill(c, cut(circle(0.5f, 0.55f, 0.16f), circle(0.5f, 0.5f, 0.17f)), {0.5f, 0.1f, 0.1f});
    saveImage(c, path);
}

} // namespace

void writeFigureImages(const fs::path& data) {
    miscPortraits(data / "misc");
    flowers(data / "misc/blomster.jpg");
    shadowBlob(data / "bravelund/bounce/skygge.png");
    shadowBlob(data / "bravelund/walk/skygge.png");
    bee(data / "mirok/brum/brum.png");
    pastelMan(data / "mirok/brum/pastelmand.jpg");
    standingMan(data / "bravelund/mansphere/manden.png");
    circleFace(data / "circles/circles.jpg");
}
