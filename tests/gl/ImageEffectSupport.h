#pragma once
// Helpers for the image layer and sprite effect tests: run directories with solid-colour images at
// the paths the effects open, and checks of the view an effect leaves behind.

#include "GlFixture.h"
#include "render/GLState.h"
#include "render/Random.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>

// A solid image at `relative` under `root`; .jpg files are written without alpha.
inline void writeSolid(const TempDir& root, const std::string& relative, Rgba colour,
                       int size = 8) {
    const bool alpha = relative.size() >= 4 && relative.substr(relative.size() - 4) == ".png";
    writeImage(
        root.file(relative), size, size, [colour](int, int) { return colour; }, alpha);
}

inline void writeSolids(const TempDir& root, std::initializer_list<const char*> paths,
                        Rgba colour) {
    for (const char* path : paths)
        writeSolid(root, path, colour);
}

constexpr Rgba black{0, 0, 0, 255};
constexpr Rgba nothing{0, 0, 0, 0}; // a pixel cleared to black and not drawn over
constexpr Rgba white{255, 255, 255, 255};

// The screen perspective with an identity model-view matrix, at the bottom of its stack, and the
// model-view matrix current: the view every effect must hand on.
inline void expectScreenPerspective(const char* where) {
    GLint mode = 0, depth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW) << where;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1) << "model-view pushes and pops unbalanced after " << where;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1) << where;
    std::array<GLfloat, 16> projection{}, modelView{}, wantedProjection{}, wantedModelView{};
    std::array<GLint, 4> viewport{}, wantedViewport{};
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView.data());
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    setScreenPerspective();
    glGetFloatv(GL_PROJECTION_MATRIX, wantedProjection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, wantedModelView.data());
    glGetIntegerv(GL_VIEWPORT, wantedViewport.data());
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(projection[i], wantedProjection[i], 1e-5) << where << ", projection " << i;
        EXPECT_NEAR(modelView[i], wantedModelView[i], 1e-5) << where << ", model-view " << i;
    }
    EXPECT_EQ(viewport, wantedViewport) << where;
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

// Captures what the code under test writes to standard error.
class StderrText {
  public:
    StderrText() { testing::internal::CaptureStderr(); }
    ~StderrText() { text(); }
    StderrText(const StderrText&) = delete;
    StderrText& operator=(const StderrText&) = delete;
    const std::string& text() {
        if (!taken_) {
            text_ = testing::internal::GetCapturedStderr();
            taken_ = true;
        }
        return text_;
    }

  private:
    std::string text_;
    bool taken_ = false;
};
