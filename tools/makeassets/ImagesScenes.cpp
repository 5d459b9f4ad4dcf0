#include "Images.h"
#include "Procedural.h"

#include <algorithm>
#include <cmath>

namespace fs = std::filesystem;

namespace {

// Coloured gas with a sprinkling of stars: the space backgrounds.
Canvas nebula(int size, Color deep, Color gas, Color glow, uint32_t seed) {
    Canvas c(size, size);
    c.shade([&](float u, float v) {
        float warpU = fractalNoise(u, v, 3, 4, seed + 1) - 0.5f;
        float warpV = fractalNoise(u, v, 3, 4, seed + 2) - 0.5f;
        float n = fractalNoise(u + warpU * 0.4f, v + warpV * 0.4f, 4, 6, seed);
        float clouds = smoothstep(0.35f, 0.8f, n);
        float hot = smoothstep(0.6f, 0.9f, n);
        Color color = mix(deep, gas, clouds) + glow * (hot * 0.8f);
        int sx = int(u * size / 2), sy = int(v * size / 2);
        float starSeed = hashUnit(sx, sy, 0, seed + 9);
        if (starSeed > 0.993f)
            color = color + gray((starSeed - 0.993f) / 0.007f);
        color.a = 1;
        return color;
    });
    return c;
}

void gridTile(const fs::path& path) {
    Canvas c(256, 256);
    c.shade([](float u, float v) {
        auto line = [](float t, int count) {
            float f = t * count - std::floor(t * count);
            float d = std::min(f, 1 - f) / count;
            return std::exp(-d * d * 60000.0f);
        };
        float major = std::max(line(u, 4), line(v, 4));
        float minor = std::max(line(u, 16), line(v, 16)) * 0.35f;
        float panel = 0.08f + 0.06f * fractalNoise(u, v, 8, 3, 5);
        Color base = {panel * 0.6f, panel * 0.8f, panel * 1.4f, 1};
        return base + exposure({0.3f, 0.9f, 1.0f}, major * 1.6f + minor);
    });
    saveImage(c, path);
}

void housingTile(const fs::path& path) {
    // A facade of 8 x 8 windows, some lit; tiles in both directions.
    Canvas c(256, 256);
    c.shade([](float u, float v) {
        int col = int(u * 8), row = int(v * 8);
        float fu = u * 8 - col, fv = v * 8 - row;
        float wall = 0.25f + 0.1f * fractalNoise(u, v, 16, 3, 12);
        Color color = {wall * 1.1f, wall * 0.9f, wall * 0.8f, 1};
        float window = coverage(boxDistance(fu, fv, 0.5f, 0.55f, 0.3f, 0.3f, 0.03f), 0.04f);
        float lit = hashUnit(col, row, 0, 77);
        Color glass = lit > 0.55f ? Color{1.0f, 0.8f, 0.45f} * (0.7f + 0.3f * lit)
                                  : Color{0.08f, 0.12f, 0.2f} + gray(0.25f * (1 - fv));
        return mix(color, glass, window);
    });
    saveImage(c, path);
}

// Stripes along the texture's width that wrap around a tube or pole.
void stripes(const fs::path& path, Color a, Color b, int count, float twist, uint32_t seed) {
    Canvas c(256, 256);
    c.shade([&](float u, float v) {
        float t = u * count + v * twist;
        float s = 0.5f + 0.5f * std::sin(t * 2 * pi);
        float band = smoothstep(0.3f, 0.7f, s);
        float grain = fractalNoise(u, v, 8, 4, seed) * 0.25f;
        float shine = std::pow(0.5f + 0.5f * std::sin(t * 2 * pi + 1.2f), 20.0f) * 0.5f;
        Color color = mix(a, b, band) * (0.85f + grain) + gray(shine, 0);
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

void ringsBackground(const fs::path& path) {
    Canvas c(512, 512);
    c.shade([](float u, float v) {
        float x = u * 2 - 1, y = v * 2 - 1, r = std::hypot(x, y);
        float rings = 0.5f + 0.5f * std::cos(r * 40);
        float n = fractalNoise(u, v, 4, 5, 31);
        Color center = {0.1f, 0.45f, 0.5f}, edge = {0.02f, 0.06f, 0.12f};
        Color color = mix(center, edge, clamp01(r * 0.9f)) * (0.8f + 0.4f * n);
        return color + gray(rings * 0.04f * (1 - clamp01(r)), 0);
    });
    saveImage(c, path);
}

void towers(const fs::path& dir) {
    // Looking straight up between tower blocks: the sky in the middle, the towers' faces as
    // wedges converging on it, windows lit along them.
    const int towerCount = 9;
    Canvas c(1024, 1024);
    c.shade([&](float u, float v) {
        float x = u * 2 - 1, y = v * 2 - 1;
        float r = std::hypot(x, y), angle = std::atan2(y, x);
        Color sky = mix(Color{0.95f, 0.7f, 0.5f}, Color{0.2f, 0.25f, 0.6f}, clamp01(r * 2.2f));
        float sector = (angle + pi) / (2 * pi) * towerCount;
        int tower = int(sector) % towerCount;
        float across = sector - std::floor(sector);
        float inner = 0.18f + 0.12f * hashUnit(tower, 0, 0, 3);
        float gap = 0.08f;
        bool building = r > inner && across > gap && across < 1 - gap;
        if (!building)
            return sky;
        // Floors get taller towards the viewer (perspective).
        float floors = std::log(r / inner) * 22;
        float columns = (across - gap) / (1 - 2 * gap) * 10;
        float fu = floors - std::floor(floors), fc = columns - std::floor(columns);
        float shade = 0.15f + 0.3f * hashUnit(tower, 1, 0, 3);
        Color wall = Color{shade * 0.7f, shade * 0.75f, shade, 1} * (0.6f + 0.5f * across);
        bool window = fu > 0.3f && fu < 0.8f && fc > 0.2f && fc < 0.8f;
        if (window && hashUnit(int(floors), int(columns), tower, 8) > 0.45f)
            return mix(wall, Color{1.0f, 0.85f, 0.5f}, 0.85f);
        return wall;
    });
    saveImage(c, dir / "towers.png");

    // The same view, blurred and small: reflected, it reads as light and shade.
    Mask channel(256, 256);
    Canvas env(256, 256);
    for (int k = 0; k < 3; ++k) {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const Color& src = c.at(x * 4 + 2, y * 4 + 2);
                channel.at(x, y) = k == 0 ? src.r : k == 1 ? src.g : src.b;
            }
        blur(channel, 4);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                (k == 0   ? env.at(x, y).r
                 : k == 1 ? env.at(x, y).g
                          : env.at(x, y).b) = channel.at(x, y);
    }
    saveImage(env, dir / "towerenv.png");

    Canvas white(256, 256);
    white.shade([](float u, float v) {
        float latitude = std::pow(std::fabs(std::sin(v * pi * 8)), 40.0f);
        float longitude = std::pow(std::fabs(std::sin(u * pi * 16)), 40.0f);
        return gray(1 - 0.12f * std::max(latitude, longitude));
    });
    saveImage(white, dir / "white.png");
}

void boxFace(const fs::path& path) {
    Canvas c(512, 512);
    c.shade([](float u, float v) {
        float x = u * 2 - 1, y = v * 2 - 1;
        float frame = boxDistance(x, y, 0, 0, 0.86f, 0.86f, 0.12f);
        float bevel = clamp01(-frame * 6);
        float light = 0.5f + 0.5f * (-x - y) * 0.5f;
        Color metal = mix(Color{0.35f, 0.4f, 0.5f}, Color{0.8f, 0.85f, 0.95f}, light);
        Color panel =
            mix(Color{0.1f, 0.15f, 0.35f}, Color{0.25f, 0.4f, 0.8f}, fractalNoise(u, v, 4, 4, 17));
        Color color = frame > 0 ? metal * 0.7f : mix(metal, panel, bevel);
        // An emblem: a diamond ring in the middle.
        float diamond = std::fabs(x) + std::fabs(y);
        float ring = std::exp(-std::pow((diamond - 0.45f) / 0.05f, 2.0f));
        color = color + exposure({1.0f, 0.7f, 0.3f}, ring * 1.5f) * 0.9f;
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

// Two chessboard colours, `squares` across; tiles seamlessly.
void chessboard(const fs::path& path, int squares, Color dark, Color light, uint32_t seed) {
    Canvas c(256, 256);
    c.shade([&](float u, float v) {
        int parity = (int(u * squares) + int(v * squares)) & 1;
        float grain = 0.92f + 0.08f * fractalNoise(u, v, 16, 3, seed);
        Color color = (parity ? light : dark) * grain;
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

// A seamless environment for normal-map texture generation: the normal's x and y run from -1 to
// 1, so the picture is seen twice across; the lamp sits in the corners (facing the viewer and at
// the rims), the dark floor and a coloured horizon band between.
void environment(const fs::path& path, Color sky, Color horizon, Color floor, uint32_t seed) {
    Canvas c(256, 256);
    c.shade([&](float u, float v) {
        float cu = std::cos(u * 2 * pi), cv = std::cos(v * 2 * pi);
        float facing = (cu + 1) * (cv + 1) / 4; // 1 in the corners
        float vertical = std::sin(v * 2 * pi);
        float clouds = fractalNoise(u, v, 4, 4, seed);
        Color color = mix(floor, sky, clamp01(0.5f - vertical * 0.5f + clouds * 0.3f - 0.15f));
        color = color + horizon * std::exp(-vertical * vertical * 6) * 0.6f;
        color = color + exposure({1, 1, 1}, std::pow(facing, 20.0f) * 3.0f);
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

void water(const fs::path& path) {
    Canvas c(512, 512);
    c.shade([](float u, float v) {
        float caustic = ridgedNoise(u, v, 6, 4, 61);
        float depth = fractalNoise(u, v, 2, 4, 62);
        Color deep = {0.0f, 0.15f, 0.35f}, shallow = {0.05f, 0.55f, 0.7f};
        Color color = mix(deep, shallow, depth) +
                      exposure({0.6f, 0.9f, 1.0f}, std::pow(caustic, 4.0f) * 1.5f);
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

// Height of the mountain ranges along the horizon, u across the picture, 0..1 from the bottom.
float ridgeHeight(float u, int layer) {
    float n = ridgedNoise(u, layer * 0.37f, 3 + layer, 5, 90 + layer);
    return 0.42f - layer * 0.07f + n * (0.22f - layer * 0.03f);
}

void landscape(const fs::path& dir) {
    const float sunX = 0.62f, sunY = 0.36f, horizon = 0.62f, shore = 0.8f;
    // Sky, sun and three ranges of mountains, each further one paler in the haze.
    auto scenery = [&](float u, float v) {
        float sunDistance = std::hypot(u - sunX, v - sunY);
        Color sky =
            mix(Color{0.15f, 0.2f, 0.5f}, Color{1.0f, 0.6f, 0.35f}, smoothstep(0.0f, horizon, v));
        float cloud = smoothstep(0.5f, 0.8f, fractalNoise(u, v * 3, 3, 5, 88)) * (1 - v);
        sky = mix(sky, Color{1.0f, 0.75f, 0.7f}, cloud * 0.6f);
        Color color = sky + exposure({1.0f, 0.8f, 0.5f}, std::exp(-sunDistance * 14) * 2.5f);
        float fromBottom = 1 - v;
        for (int layer = 0; layer < 3; ++layer) {
            float top = ridgeHeight(u, layer);
            if (fromBottom < top) {
                float haze = 0.6f - layer * 0.22f;
                float lit = std::exp(-(top - fromBottom) * 12) * 0.3f;
                Color rock = mix(Color{0.12f, 0.1f, 0.2f}, Color{0.2f, 0.28f, 0.18f}, layer / 2.0f);
                rock = rock * (0.85f + 0.3f * fractalNoise(u, v, 16, 4, 95 + layer));
                color =
                    mix(rock, Color{0.8f, 0.55f, 0.5f}, haze) + Color{0.6f, 0.35f, 0.2f, 0} * lit;
            }
        }
        return color;
    };
    Canvas land(1024, 1024);
    Canvas glow(512, 512);
    land.shade([&](float u, float v) {
        Color color = scenery(u, v);
        if (v > shore) { // a lake mirroring the scenery, rippled and darker
            float ripple = std::sin(v * 400 + fractalNoise(u, v * 4, 8, 3, 5) * 8) * 0.006f;
            float mirrored = 2 * shore - v + ripple;
            color = mix(scenery(u, mirrored), Color{0.05f, 0.1f, 0.25f}, 0.35f + (v - shore));
        }
        color.a = 1;
        return color;
    });
    saveImage(land, dir / "landskab1.jpg");

    // The glow layer lights the sun, its halo and the ridge rims; it is drawn with its texture
    // turned upside down, so it is stored upside down to lie on the landscape.
    glow.shade([&](float u, float v) {
        float sunDistance = std::hypot(u - sunX, v - sunY);
        float fromBottom = 1 - v;
        float rim = std::exp(-std::fabs(fromBottom - ridgeHeight(u, 0)) * 60) *
                    std::exp(-std::fabs(u - sunX) * 3);
        float light = std::exp(-sunDistance * 9) * 2.5f + rim * 1.2f;
        return exposure({1.0f, 0.7f, 0.4f}, light);
    });
    glow.flipVertically();
    saveImage(glow, dir / "landskab1_add.jpg");
}

void strobeBand(const fs::path& path) {
    // Repeated fifty times side by side: seamless across, a lit band between dark edges.
    Canvas c(256, 256);
    c.shade([](float u, float v) {
        float y = v * 2 - 1;
        float band = std::exp(-y * y * 4);
        float bars = 0.5f + 0.5f * std::cos(u * 2 * pi * 2);
        Color tint = mix(Color{1.0f, 0.2f, 0.5f}, Color{0.2f, 0.7f, 1.0f}, bars);
        float lines = 0.8f + 0.2f * std::cos(v * 2 * pi * 24);
        Color color = exposure(tint, band * 1.8f * lines) +
                      exposure({1, 1, 1}, std::exp(-std::pow(y / 0.05f, 2.0f)) * 1.5f);
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

// A bright, colourful sky of swirling bands: the zoomers' tiles darken and lighten it through
// their own colour, so it must carry light of its own.
void auroraBackground(const fs::path& path) {
    Canvas c(1024, 1024);
    c.shade([](float u, float v) {
        float warp = fractalNoise(u, v, 3, 5, 510);
        float bands = 0.5f + 0.5f * std::sin((v + warp * 0.6f) * 2 * pi * 3);
        float detail = fractalNoise(u, v, 8, 4, 511);
        Color low = mix(Color{0.15f, 0.1f, 0.45f}, Color{0.9f, 0.3f, 0.5f}, warp);
        Color high = mix(Color{0.2f, 0.8f, 0.8f}, Color{1.0f, 0.8f, 0.4f}, detail);
        Color color = mix(low, high, bands * bands) * (0.7f + 0.5f * detail);
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

void ringPattern(const fs::path& path) {
    Canvas c(512, 512);
    c.shade([](float u, float v) {
        float x = u * 2 - 1, y = v * 2 - 1, r = std::hypot(x, y);
        float rings = std::pow(0.5f + 0.5f * std::cos(r * 2 * pi * 6), 3.0f);
        Color tint = mix(Color{1.0f, 0.4f, 0.2f}, Color{0.2f, 0.5f, 1.0f}, clamp01(r));
        Color color = tint * rings * (1 - smoothstep(0.9f, 1.0f, r));
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

} // namespace

void writeSceneImages(const fs::path& data) {
    gridTile(data / "__grid.jpg");
    housingTile(data / "housing.jpg");
    saveImage(nebula(1024, {0.02f, 0.0f, 0.06f}, {0.35f, 0.1f, 0.5f}, {1.0f, 0.5f, 0.7f}, 300),
              data / "bravelund/nanoball/bg.jpg");
    stripes(data / "bravelund/nanoball/zoomer1.jpg", {0.1f, 0.2f, 0.6f}, {0.6f, 0.9f, 1.0f}, 4, 0,
            3);
    ringsBackground(data / "bravelund/ringe/bg.png");
    towers(data / "bravelund/spheres");
    boxFace(data / "bravelund/tolvik/boks.jpg");
    chessboard(data / "bravelund/bounce/skak.png", 8, {0.1f, 0.15f, 0.45f}, {0.9f, 0.92f, 1.0f},
               41);
    chessboard(data / "bravelund/walk/skak.png", 4, {0.08f, 0.08f, 0.08f}, {0.95f, 0.95f, 0.9f},
               42);
    stripes(data / "bravelund/mansphere/pole.jpg", {0.9f, 0.1f, 0.2f}, {1.0f, 0.95f, 0.9f}, 4, 8,
            4);
    stripes(data / "mirok/fog/pole1.jpg", {0.35f, 0.2f, 0.1f}, {0.75f, 0.55f, 0.3f}, 6, 0, 5);
    environment(data / "misc/env.jpg", {1.0f, 0.75f, 0.4f}, {1.0f, 0.4f, 0.2f}, {0.1f, 0.05f, 0.1f},
                7);
    environment(data / "rubber/env.jpg", {0.5f, 0.7f, 1.0f}, {1.0f, 0.4f, 0.8f},
                {0.05f, 0.05f, 0.2f}, 8);
    water(data / "plasma/__water.jpg");
    landscape(data / "sky");
    strobeBand(data / "strobo/bg.jpg");
    auroraBackground(data / "zoomer/bg.jpg");
    saveImage(nebula(1024, {0.0f, 0.0f, 0.03f}, {0.2f, 0.08f, 0.35f}, {0.4f, 0.6f, 1.0f}, 700),
              data / "rubber/background.jpg");
    ringPattern(data / "circles/__ring.jpg");
}
