#pragma once
// A floating-point RGBA picture that the procedural images are painted on, and its file output.

#include <cstdint>
#include <filesystem>
#include <vector>

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

Color operator+(Color x, Color y);
Color operator*(Color x, float k);
Color mix(Color x, Color y, float t);
Color gray(float level, float alpha = 1);
// Light of a colour and strength, saturating towards white like an overexposed lamp.
Color exposure(Color tint, float intensity);

float clamp01(float v);
float smoothstep(float edge0, float edge1, float v);

class Canvas {
public:
    Canvas(int width, int height, Color fill = {0, 0, 0, 1});

    int width() const { return width_; }
    int height() const { return height_; }
    Color& at(int x, int y) { return pixels_[size_t(y) * width_ + x]; }
    const Color& at(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }

    // Calls shader(u, v) for every pixel centre, u and v in [0, 1) with v = 0 on the top row, and
    // stores what it returns.
    template <class Shader> void shade(Shader shader) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                at(x, y) = shader((x + 0.5f) / width_, (y + 0.5f) / height_);
    }

    // Lays a colour over the picture where coverage(u, v) (0..1, times the colour's alpha) says.
    template <class Coverage> void paint(Coverage coverage, Color color) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                float c = coverage((x + 0.5f) / width_, (y + 0.5f) / height_);
                if (c > 0)
                    compose(at(x, y), color, c);
            }
    }
    // src over dst with src's alpha scaled by coverage.
    static void compose(Color& dst, Color src, float coverage);

    // Turns the picture upside down (for layers that are drawn with their texture flipped).
    void flipVertically();

private:
    int width_;
    int height_;
    std::vector<Color> pixels_;
};

// Writes the picture through FreeImage; the format follows the extension: ".png" keeps the alpha
// channel (32 bits), ".jpg" is 24-bit JPEG. Parent folders are made. Throws on failure.
void saveImage(const Canvas& canvas, const std::filesystem::path& path);

// A single-channel picture (coverage, height, glow), same orientation as Canvas.
struct Mask {
    int width, height;
    std::vector<float> values;
    Mask(int w, int h) : width(w), height(h), values(size_t(w) * h, 0.0f) {}
    float& at(int x, int y) { return values[size_t(y) * width + x]; }
    float at(int x, int y) const { return values[size_t(y) * width + x]; }
    // Bilinear look-up at u, v in [0, 1], clamped at the edges.
    float sample(float u, float v) const;
};

// Three box-blur passes of the given radius in pixels: close to a Gaussian.
void blur(Mask& mask, int radius);
