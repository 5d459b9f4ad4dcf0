#include "Images.h"
#include "Procedural.h"
#include "TextRender.h"

#include <cmath>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Line {
    std::string text;
    int pixelSize;
    int baseline;
};

Mask renderLines(FontRenderer& font, int width, int height, const std::vector<Line>& lines) {
    Mask mask(width, height);
    for (const Line& line : lines)
        font.drawCentred(mask, line.text, line.pixelSize, width / 2, line.baseline,
                         width * 92 / 100);
    return mask;
}

// White letters with a soft dark outline, on transparency: readable over any picture.
Canvas outlinedText(const Mask& letters, Color fillColor, int outlineRadius) {
    Mask outline = letters;
    blur(outline, outlineRadius);
    Canvas c(letters.width, letters.height, {0, 0, 0, 0});
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            Color& p = c.at(x, y);
            Canvas::compose(p, {0.02f, 0.02f, 0.08f, 1}, clamp01(outline.at(x, y) * 3));
            Canvas::compose(p, fillColor, letters.at(x, y));
        }
    return c;
}

void greetings(const fs::path& path) {
    FontRenderer font(sansBoldFont);
    std::vector<Line> lines = {{"GREETINGS", 110, 190}};
    const char* names[] = {"the pixel pushers", "team tracker",    "sine wave society",
                           "the raster crew",   "copper bar club", "everyone at the party"};
    int y = 330;
    for (const char* name : names) {
        lines.push_back({name, 64, y});
        y += 105;
    }
    saveImage(outlinedText(renderLines(font, 1024, 1024, lines), {1.0f, 0.95f, 0.8f, 1}, 6), path);
}

void rotateLabel(const fs::path& path) {
    FontRenderer font(sansBoldFont);
    Mask letters = renderLines(font, 256, 256, {{"ROTATE", 60, 150}});
    saveImage(outlinedText(letters, {1.0f, 0.85f, 0.3f, 1}, 3), path);
}

// Words to be added onto the picture: glowing white on black.
void glowText(const fs::path& path) {
    FontRenderer font(sansBoldFont);
    Mask letters =
        renderLines(font, 512, 512, {{"MORVELDAN", 80, 240}, {"feel the beat", 40, 320}});
    Mask halo = letters;
    blur(halo, 8);
    Canvas c(512, 512);
    c.shade([&](float u, float v) {
        int x = int(u * 512), y = int(v * 512);
        return exposure({0.7f, 0.8f, 1.0f}, letters.at(x, y) * 3 + halo.at(x, y) * 1.2f);
    });
    saveImage(c, path);
}

void loader(const fs::path& path) {
    FontRenderer font(sansBoldFont);
    FontRenderer small(sansFont);
    Mask title = renderLines(font, 512, 512, {{"MORVELDAN", 72, 250}});
    Mask caption = renderLines(small, 512, 512, {{"loading the show...", 28, 310}});
    Canvas c(512, 512);
    c.shade([&](float u, float v) {
        int x = int(u * 512), y = int(v * 512);
        float r = std::hypot(u - 0.5f, v - 0.45f);
        Color back = mix(Color{0.15f, 0.1f, 0.3f}, Color{0.02f, 0.02f, 0.06f}, clamp01(r * 1.6f));
        float ring = std::exp(-std::pow((r - 0.3f) / 0.01f, 2.0f));
        Color color = back + exposure({0.4f, 0.7f, 1.0f}, ring) + gray(title.at(x, y), 0) +
                      Color{0.7f, 0.8f, 1.0f, 0} * caption.at(x, y);
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

// Darkening mask (white blacks the picture out): letterbox bars top and bottom and large words
// across the middle that cut dark letters out of the strobing band.
void strobeText(const fs::path& path) {
    FontRenderer font(sansBoldFont);
    Mask words = renderLines(font, 512, 512, {{"STROBE", 120, 300}});
    Canvas c(512, 512);
    c.shade([&](float u, float v) {
        int x = int(u * 512), y = int(v * 512);
        float bars = smoothstep(0.3f, 0.26f, v) + smoothstep(0.7f, 0.74f, v);
        return gray(clamp01(bars + words.at(x, y)));
    });
    saveImage(c, path);
}

// Darkening mask for the sprite stream: a round window, black inside (the picture stays), white
// beyond a soft edge, with a thin dark ring.
void solarisMask(const fs::path& path) {
    Canvas c(512, 512);
    c.shade([](float u, float v) {
        float r = std::hypot(u * 2 - 1, v * 2 - 1);
        float outside = smoothstep(0.62f, 0.78f, r);
        float scan = 0.08f * (0.5f + 0.5f * std::cos(v * 2 * pi * 60)) * smoothstep(0.2f, 0.6f, r);
        return gray(clamp01(outside + scan));
    });
    saveImage(c, path);
}

// A picture frame: white border (blacks out when multiplied, lightens when screened), black
// window with rounded corners.
void pictureFrame(const fs::path& path, float inset, Color border) {
    Canvas c(512, 512);
    c.shade([&](float u, float v) {
        float d = boxDistance(u * 2 - 1, v * 2 - 1, 0, 0, 1 - inset, 1 - inset, 0.12f);
        float frame = smoothstep(-0.02f, 0.04f, d);
        float bevel = std::exp(-std::pow((d - 0.03f) / 0.015f, 2.0f)) * 0.4f;
        Color color = border * frame + gray(bevel, 0);
        color.a = 1;
        return color;
    });
    saveImage(c, path);
}

} // namespace

void writeTextAndMaskImages(const fs::path& data) {
    greetings(data / "bravelund/mansphere/greets.png");
    rotateLabel(data / "bravelund/ringe/rotate.png");
    glowText(data / "circles/text.jpg");
    loader(data / "overlay/loader.jpg");
    strobeText(data / "strobo/text.jpg");
    solarisMask(data / "solaris/it.jpg");
    pictureFrame(data / "mirok/video/frame.png", 0.12f, {1, 1, 1, 1});
    pictureFrame(data / "misc/border.jpg", 0.1f, {0.9f, 0.85f, 1.0f, 1});
}
