#include "Images.h"
#include "Procedural.h"

#include <algorithm>
#include <cmath>

namespace fs = std::filesystem;

float edgeFade(float distance, float inner, float outer) {
    return 1 - smoothstep(inner, outer, distance);
}

void alphaFromBrightness(Canvas& canvas) {
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            Color& c = canvas.at(x, y);
            c.a = clamp01(std::max({c.r, c.g, c.b}));
        }
}

float softBlob(float distance) {
    if (distance >= 1)
        return 0;
    float falloff = std::exp(-distance * distance * 4.5f);
    return falloff * edgeFade(distance, 0.6f, 1.0f);
}

namespace {

// Centred coordinates: x, y in [-1, 1], r the distance from the centre, angle in radians.
struct Polar {
    float x, y, r, angle;
};
Polar polar(float u, float v) {
    float x = u * 2 - 1, y = v * 2 - 1;
    return {x, y, std::hypot(x, y), std::atan2(y, x)};
}

// Rays around a centre: `count` spokes of alternating length, each fading outwards.
float rays(const Polar& p, int count, float sharpness, uint32_t seed) {
    float sector = p.angle / (2 * pi) * count;
    int index = int(std::floor(sector));
    float inSector = sector - index;
    float spoke = std::pow(std::fabs(std::cos(inSector * pi)), sharpness);
    float length = 0.45f + 0.5f * hashUnit(((index % count) + count) % count, 0, 0, seed);
    return spoke * std::exp(-p.r / length * 2.2f);
}

void colorBoxImages(const fs::path& dir) {
    // The grid tile: a neon frame with a soft inner light.
    Canvas tile(256, 256);
    tile.shade([](float u, float v) {
        Polar p = polar(u, v);
        float d = boxDistance(p.x, p.y, 0, 0, 0.62f, 0.62f, 0.18f);
        float rim = std::exp(-d * d * 180.0f);
        float inner = d < 0 ? 0.25f * std::exp(d * 3) : 0;
        float outer = std::exp(-std::max(d, 0.0f) * 9.0f) * 0.25f;
        Color neon = mix(Color{0.2f, 0.9f, 1.0f}, Color{1.0f, 0.3f, 0.9f}, clamp01((p.x + 1) / 2));
        return exposure(neon, (rim * 2.2f + inner + outer) * edgeFade(p.r, 0.95f, 1.4f));
    });
    saveImage(tile, dir / "colorbox1.jpg");

    Canvas flash(256, 256);
    flash.shade([](float u, float v) {
        Polar p = polar(u, v);
        float light = std::exp(-p.r * p.r * 18) * 3 + rays(p, 12, 24, 7) * 1.6f +
                      std::exp(-p.r * 3.5f) * 0.5f;
        return exposure({1.0f, 0.85f, 0.55f}, light * edgeFade(p.r, 0.75f, 1.0f));
    });
    saveImage(flash, dir / "colorbox2.jpg");

    Canvas star(256, 256);
    star.shade([](float u, float v) {
        Polar p = polar(u, v);
        float arms = std::pow(std::fabs(std::cos(p.angle * 2.5f)), 12.0f);
        float shape = std::exp(-p.r * (7 - 5.5f * arms));
        return exposure({1.0f, 0.95f, 0.7f}, shape * 2.5f * edgeFade(p.r, 0.75f, 1.0f));
    });
    saveImage(star, dir / "star.jpg");
}

void solarisImages(const fs::path& dir) {
    // The sprite stream flies through the viewer, so the nearest sprites are seen hugely
    // magnified and far brighter than 1: only a ring with a black middle lets the rest of the
    // stream show through. Beads along the ring make the sprites' spin visible.
    Canvas sprite(256, 256);
    sprite.shade([](float u, float v) {
        Polar p = polar(u, v);
        float offset = std::fabs(p.r - 0.62f);
        float band = 1 - smoothstep(0.0f, 0.045f, offset);
        float halo = 1 - smoothstep(0.0f, 0.16f, offset);
        float beads = std::pow(std::fabs(std::cos(p.angle * 4)), 8.0f);
        Color tint = mix(Color{1.0f, 0.3f, 0.05f}, Color{1.0f, 0.8f, 0.35f}, beads);
        return exposure(tint, band * (1.6f + 2.0f * beads) + halo * halo * 0.25f);
    });
    saveImage(sprite, dir / "solaris1.jpg");
    Canvas ring(256, 256);
    ring.shade([](float u, float v) {
        Polar p = polar(u, v);
        float band = std::exp(-std::pow((p.r - 0.55f) / 0.07f, 2.0f));
        float glow = std::exp(-std::fabs(p.r - 0.55f) * 6) * 0.35f;
        return exposure({0.3f, 0.6f, 1.0f}, (band * 1.8f + glow) * edgeFade(p.r, 0.8f, 1.0f));
    });
    saveImage(ring, dir / "solaris2.jpg");
}

void bangerImages(const fs::path& dir) {
    Canvas burst(512, 512);
    burst.shade([](float u, float v) {
        Polar p = polar(u, v);
        float warm = rays(p, 24, 10, 3) * 2.2f;
        float cool = rays({p.x, p.y, p.r, p.angle + 0.13f}, 16, 30, 9) * 1.4f;
        float core = std::exp(-p.r * p.r * 30) * 3;
        Color c = exposure({1.0f, 0.5f, 0.15f}, warm + core) + exposure({0.3f, 0.5f, 1.0f}, cool);
        return c * edgeFade(p.r, 0.8f, 1.0f);
    });
    saveImage(burst, dir / "bang.jpg");

    Canvas rings(512, 512);
    rings.shade([](float u, float v) {
        Polar p = polar(u, v);
        float light = 0;
        for (int i = 0; i < 4; ++i) {
            float radius = 0.18f + i * 0.19f;
            float width = 0.025f + i * 0.01f;
            light += std::exp(-std::pow((p.r - radius) / width, 2.0f)) * (1.6f - i * 0.3f);
        }
        light += std::exp(-p.r * p.r * 40) * 2;
        Color tint = mix(Color{1.0f, 0.3f, 0.6f}, Color{0.4f, 0.8f, 1.0f}, p.r);
        return exposure(tint, light * edgeFade(p.r, 0.85f, 1.0f));
    });
    saveImage(rings, dir / "bang1.jpg");
}

void nanoBallFlare(const fs::path& dir) {
    Canvas flare(256, 256);
    flare.shade([](float u, float v) {
        Polar p = polar(u, v);
        float cross = std::exp(-std::fabs(p.x) * 40) * std::exp(-std::fabs(p.y) * 2.5f) +
                      std::exp(-std::fabs(p.y) * 40) * std::exp(-std::fabs(p.x) * 2.5f);
        float core = std::exp(-p.r * p.r * 25) * 3;
        float halo = std::exp(-std::pow((p.r - 0.45f) / 0.05f, 2.0f)) * 0.4f;
        return exposure({0.6f, 0.8f, 1.0f}, (core + cross * 1.2f + halo) * edgeFade(p.r, 0.8f, 1));
    });
    saveImage(flare, dir / "flare.jpg");
}

void prikkerDots(const fs::path& dir) {
    // Only the third is drawn by the dot field; the others are variations held beside it.
    const Color tints[] = {
        {0.4f, 1.0f, 0.5f}, {1.0f, 0.4f, 0.8f}, {1.0f, 0.75f, 0.35f}, {0.4f, 0.6f, 1.0f}};
    for (int i = 0; i < 4; ++i) {
        Canvas dot(128, 128);
        dot.shade([&](float u, float v) {
            Polar p = polar(u, v);
            float shape = 0;
            switch (i) {
            case 0:
                shape = std::exp(-std::pow((p.r - 0.45f) / 0.1f, 2.0f)) * 1.5f;
                break;
            case 1:
                shape = std::exp(-p.r * (6 - 4 * std::pow(std::fabs(std::cos(p.angle * 2)), 8.f)));
                break;
            case 2:
                shape = std::exp(-p.r * p.r * 9) * 1.6f + std::exp(-p.r * p.r * 60) * 2;
                break;
            default:
                shape = std::exp(-std::max(std::fabs(p.x), std::fabs(p.y)) * 5) * 1.4f;
                break;
            }
            return exposure(tints[i], shape * edgeFade(p.r, 0.7f, 1.0f));
        });
        alphaFromBrightness(dot);
        saveImage(dot, dir / ("prik" + std::to_string(i + 1) + ".png"));
    }
}

void brumStar(const fs::path& dir) {
    Canvas star(128, 128);
    star.shade([](float u, float v) {
        Polar p = polar(u, v);
        float arms = std::pow(std::fabs(std::cos(p.angle * 2)), 20.0f);
        float shape = std::exp(-p.r * (9 - 7 * arms)) * 1.5f + std::exp(-p.r * p.r * 80) * 2;
        return exposure({1.0f, 0.9f, 0.6f}, shape * edgeFade(p.r, 0.7f, 1.0f));
    });
    saveImage(star, dir / "stjern1.jpg");
}

void zoomerImages(const fs::path& dir) {
    // The beat-lit layer: light beams fanning up from below the screen.
    Canvas beams(512, 512);
    beams.shade([](float u, float v) {
        float x = u * 2 - 1, y = v * 2 - 1;
        float angle = std::atan2(x, 1.6f - y);
        float beam = std::pow(std::fabs(std::sin(angle * 9)), 16.0f);
        float n = fractalNoise(u, v, 4, 4, 71);
        float fall = std::exp(-(1.6f - y) * 0.9f);
        return exposure(mix(Color{0.2f, 0.5f, 1.0f}, Color{0.9f, 0.3f, 1.0f}, n),
                        beam * 1.2f * fall * (0.6f + n));
    });
    saveImage(beams, dir / "bg1.jpg");

    // The flying tiles are blended through their own colour (GL_SRC_COLOR,
    // GL_ONE_MINUS_SRC_COLOR), dozens of them stacked over the whole screen: only the neon outline
    // may carry light, the inside must stay black or the stack would wash the picture out.
    auto tileImage = [](int sides, Color tint, float rotation) {
        // The nearest tiles are seen hugely magnified, so the outline is thin and the picture
        // large enough to keep it sharp there.
        Canvas tile(512, 512);
        tile.shade([&](float u, float v) {
            Polar p = polar(u, v);
            float a = p.angle + rotation;
            float sector = 2 * pi / sides;
            float local = std::fmod(a + 100 * sector, sector) - sector / 2;
            float d = p.r * std::cos(local) - 0.6f; // distance to the polygon's edge
            // Only brackets at the corners: the column of nested frames stays open between
            // them, so the sky shows through the stack.
            float corner = smoothstep(0.5f, 0.62f, std::fabs(local) / (sector / 2));
            float rim =
                std::exp(-d * d * 4000) * 2.5f * corner + std::exp(-d * d * 800) * 0.3f * corner;
            return exposure(tint, rim * edgeFade(p.r, 0.85f, 1.0f) * smoothstep(0.3f, 0.45f, p.r));
        });
        return tile;
    };
    saveImage(tileImage(6, {0.3f, 1.0f, 0.6f}, 0), dir / "zoomer1.jpg");
    saveImage(tileImage(4, {1.0f, 0.5f, 0.2f}, pi / 4), dir / "zoomer2.jpg");
    saveImage(tileImage(3, {0.4f, 0.6f, 1.0f}, pi / 2), dir / "zoomer2-old.jpg");
}

void swirl(const fs::path& path, int arms, Color inner, Color outer, uint32_t seed) {
    Canvas c(512, 512);
    c.shade([&](float u, float v) {
        Polar p = polar(u, v);
        float spiral = std::sin(p.angle * arms + std::log(p.r + 0.02f) * 6.0f);
        float arm = std::pow(spiral * 0.5f + 0.5f, 6.0f);
        float n = fractalNoise(u, v, 6, 4, seed);
        float light = arm * std::exp(-p.r * 1.8f) * (0.7f + n) * 2 + std::exp(-p.r * p.r * 30);
        return exposure(mix(inner, outer, clamp01(p.r * 1.3f)), light * edgeFade(p.r, 0.7f, 1.0f));
    });
    saveImage(c, path);
}

void rubberGlow(const fs::path& dir) {
    // Lit by the beat over the zooming background: a bright horizon of light.
    Canvas glow(512, 512);
    glow.shade([](float u, float v) {
        Polar p = polar(u, v);
        float horizon = std::exp(-std::pow(p.y / 0.12f, 2.0f)) * std::exp(-std::fabs(p.x) * 1.2f);
        float light = horizon * 1.8f + rays(p, 20, 12, 21) * 0.9f;
        return exposure({1.0f, 0.6f, 0.9f}, light * edgeFade(p.r, 0.9f, 1.35f));
    });
    saveImage(glow, dir / "background1.jpg");
}

void cloudPuff(const fs::path& dir) {
    Canvas puff(512, 512);
    puff.shade([](float u, float v) {
        Polar p = polar(u, v);
        // The puffs are seen from inside, so mostly their middle shows: billows with dark gaps
        // right across it keep the stack from turning into an even grey fog.
        float n = fractalNoise(u, v, 8, 5, 404);
        float body = smoothstep(0.54f, 0.62f, n);
        float lit = 0.75f + 0.25f * smoothstep(0.55f, 0.8f, fractalNoise(u, v, 20, 3, 405));
        float hue = fractalNoise(u, v, 3, 3, 406);
        Color tint = mix(Color{0.7f, 0.8f, 1.0f}, Color{1.0f, 0.85f, 0.9f}, hue);
        Color color = tint * (body * lit * edgeFade(p.r, 0.7f, 0.98f));
        color.a = 1;
        return color;
    });
    saveImage(puff, dir / "clouds.jpg");
}

} // namespace

void writeGlowImages(const fs::path& data) {
    colorBoxImages(data / "colorbox");
    solarisImages(data / "solaris");
    bangerImages(data / "bravelund/banger");
    nanoBallFlare(data / "bravelund/nanoball");
    prikkerDots(data / "mirok/prikker");
    brumStar(data / "mirok/brum");
    zoomerImages(data / "zoomer");
    swirl(data / "strobo/twist.jpg", 3, {1.0f, 0.9f, 0.6f}, {1.0f, 0.3f, 0.1f}, 51);
    swirl(data / "misc/twist.jpg", 5, {0.8f, 0.9f, 1.0f}, {0.3f, 0.2f, 1.0f}, 52);
    rubberGlow(data / "rubber");
    cloudPuff(data / "sky");
}
