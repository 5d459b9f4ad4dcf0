#pragma once
// Text rendered with FreeType into coverage masks, for the pictures that carry words.

#include "Canvas.h"

#include <string>

// The fonts of the fonts-dejavu-core package.
extern const char* const sansBoldFont;
extern const char* const sansFont;

class FontRenderer {
public:
    explicit FontRenderer(const char* fontPath); // throws when the font cannot be opened
    ~FontRenderer();
    FontRenderer(const FontRenderer&) = delete;
    FontRenderer& operator=(const FontRenderer&) = delete;

    // Width in pixels of the text at a pixel size.
    int measure(const std::string& text, int pixelSize);
    // Adds the text's coverage to the mask with its left end at x and its baseline at y.
    void draw(Mask& mask, const std::string& text, int pixelSize, int x, int baseline);
    // Centred on centreX; the pixel size shrinks until the text fits maxWidth.
    void drawCentred(Mask& mask, const std::string& text, int pixelSize, int centreX, int baseline,
                     int maxWidth);

private:
    struct Library;
    Library* library_;
};
