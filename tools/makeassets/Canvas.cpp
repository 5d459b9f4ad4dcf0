#include "Canvas.h"

#include <FreeImage.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

Color operator+(Color x, Color y) { return {x.r + y.r, x.g + y.g, x.b + y.b, x.a + y.a}; }
Color operator*(Color x, float k) { return {x.r * k, x.g * k, x.b * k, x.a * k}; }
Color mix(Color x, Color y, float t) { return x * (1 - t) + y * t; }
Color gray(float level, float alpha) { return {level, level, level, alpha}; }

Color exposure(Color tint, float intensity) {
    auto channel = [&](float c) { return 1 - std::exp(-c * intensity); };
    return {channel(tint.r), channel(tint.g), channel(tint.b), 1};
}

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

float smoothstep(float edge0, float edge1, float v) {
    float t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

Canvas::Canvas(int width, int height, Color fill)
    : width_(width), height_(height), pixels_(size_t(width) * height, fill) {}

void Canvas::compose(Color& dst, Color src, float coverage) {
    // Straight (not premultiplied) alpha on both sides.
    float a = clamp01(src.a * coverage);
    float below = dst.a * (1 - a);
    float outA = a + below;
    if (outA <= 0)
        return;
    dst.r = (src.r * a + dst.r * below) / outA;
    dst.g = (src.g * a + dst.g * below) / outA;
    dst.b = (src.b * a + dst.b * below) / outA;
    dst.a = outA;
}

void Canvas::flipVertically() {
    for (int y = 0; y < height_ / 2; ++y)
        for (int x = 0; x < width_; ++x)
            std::swap(at(x, y), at(x, height_ - 1 - y));
}

namespace {

struct BitmapHandle {
    FIBITMAP* bitmap;
    ~BitmapHandle() { FreeImage_Unload(bitmap); }
};

BYTE toByte(float v) { return BYTE(std::lround(clamp01(v) * 255.0f)); }

} // namespace

void saveImage(const Canvas& canvas, const std::filesystem::path& path) {
    bool png = path.extension() == ".png";
    int bits = png ? 32 : 24;
    BitmapHandle image{FreeImage_Allocate(canvas.width(), canvas.height(), bits)};
    if (!image.bitmap)
        throw std::runtime_error("cannot allocate an image for " + path.string());
    int bytesPerPixel = bits / 8;
    for (int y = 0; y < canvas.height(); ++y) {
        // FreeImage keeps the bottom row first.
        BYTE* row = FreeImage_GetScanLine(image.bitmap, canvas.height() - 1 - y);
        for (int x = 0; x < canvas.width(); ++x) {
            const Color& c = canvas.at(x, y);
            BYTE* p = row + x * bytesPerPixel;
            p[FI_RGBA_RED] = toByte(c.r);
            p[FI_RGBA_GREEN] = toByte(c.g);
            p[FI_RGBA_BLUE] = toByte(c.b);
            if (png)
                p[FI_RGBA_ALPHA] = toByte(c.a);
        }
    }
    std::filesystem::create_directories(path.parent_path());
    bool saved = png ? FreeImage_Save(FIF_PNG, image.bitmap, path.c_str(), PNG_Z_BEST_SPEED)
                     : FreeImage_Save(FIF_JPEG, image.bitmap, path.c_str(), JPEG_QUALITYSUPERB);
    if (!saved)
        throw std::runtime_error("cannot write " + path.string());
}

float Mask::sample(float u, float v) const {
    float fx = std::clamp(u * width - 0.5f, 0.0f, float(width - 1));
    float fy = std::clamp(v * height - 0.5f, 0.0f, float(height - 1));
    int x0 = int(fx), y0 = int(fy);
    int x1 = std::min(x0 + 1, width - 1), y1 = std::min(y0 + 1, height - 1);
    float tx = fx - x0, ty = fy - y0;
    float top = at(x0, y0) * (1 - tx) + at(x1, y0) * tx;
    float bottom = at(x0, y1) * (1 - tx) + at(x1, y1) * tx;
    return top * (1 - ty) + bottom * ty;
}

namespace {

// One box-blur pass along a line of `count` values `stride` apart, clamped at the ends.
void boxLine(float* line, int count, int stride, int radius, std::vector<float>& scratch) {
    scratch.resize(count);
    for (int i = 0; i < count; ++i)
        scratch[i] = line[size_t(i) * stride];
    float sum = 0;
    auto value = [&](int i) { return scratch[std::clamp(i, 0, count - 1)]; };
    for (int i = -radius; i <= radius; ++i)
        sum += value(i);
    float scale = 1.0f / (2 * radius + 1);
    for (int i = 0; i < count; ++i) {
        line[size_t(i) * stride] = sum * scale;
        sum += value(i + radius + 1) - value(i - radius);
    }
}

} // namespace

void blur(Mask& mask, int radius) {
    if (radius <= 0)
        return;
    std::vector<float> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < mask.height; ++y)
            boxLine(&mask.at(0, y), mask.width, 1, radius, scratch);
        for (int x = 0; x < mask.width; ++x)
            boxLine(&mask.at(x, 0), mask.height, mask.width, radius, scratch);
    }
}
