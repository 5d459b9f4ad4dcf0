#pragma once
// Helpers for the image layer and sprite effect tests: solid images at the paths the effects
// open, and the check of the view an effect hands on.

#include "GlFixture.h"
#include "render/GLState.h"
#include "render/Random.h"

#include <array>
#include <string>

constexpr Rgba white{255, 255, 255, 255};
constexpr Rgba nothing{0, 0, 0, 0}; // a pixel cleared to black and not drawn over

// A solid image at `relative` under `root`; only .png files get alpha.
inline void writeSolid(const TempDir& root, const std::string& relative, Rgba colour) {
    const bool alpha = relative.ends_with(".png");
    writeImage(
        root.file(relative), 8, 8, [colour](int, int) { return colour; }, alpha);
}

inline std::array<GLfloat, 4> currentColour() {
    std::array<GLfloat, 4> colour{};
    glGetFloatv(GL_CURRENT_COLOR, colour.data());
    return colour;
}

// The n-th value the shared generator gives after seed(s), counting from 1.
inline int nthValueAfterSeed(uint32_t s, int n) {
    prng::seed(s);
    int value = 0;
    for (int i = 0; i < n; ++i)
        value = prng::next();
    return value;
}
