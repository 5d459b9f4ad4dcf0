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

// The screen perspective with an identity model-view matrix at the bottom of its stack.
inline void expectScreenPerspective(const std::string& where) {
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1) << "model-view pushes and pops unbalanced after " << where;
    std::array<GLfloat, 32> matrices{}, wanted{};
    std::array<GLint, 5> view{}, wantedView{};
    const auto read = [](std::array<GLfloat, 32>& m, std::array<GLint, 5>& v) {
        glGetFloatv(GL_PROJECTION_MATRIX, m.data());
        glGetFloatv(GL_MODELVIEW_MATRIX, m.data() + 16);
        glGetIntegerv(GL_VIEWPORT, v.data());
        glGetIntegerv(GL_MATRIX_MODE, v.data() + 4);
    };
    read(matrices, view);
    setScreenPerspective();
    read(wanted, wantedView);
    EXPECT_EQ(view, wantedView) << "viewport or matrix mode after " << where;
    for (size_t i = 0; i < matrices.size(); ++i)
        EXPECT_NEAR(matrices[i], wanted[i], 1e-5) << where << ", matrix element " << i;
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
