#pragma once
// The fixture of the foundation tests (textures, GL state guards, views, render targets,
// shaders), and what its tests share.

#include "GlFixture.h"

#include "render/GLState.h"

#include <string>

class Foundation : public GlFixture {};

// Captures what the code under test writes to standard error.
class StderrCapture {
public:
    StderrCapture() { testing::internal::CaptureStderr(); }
    std::string text() {
        if (!taken_) {
            text_ = testing::internal::GetCapturedStderr();
            taken_ = true;
        }
        return text_;
    }
    ~StderrCapture() { text(); }

private:
    std::string text_;
    bool taken_ = false;
};

inline void drawFullScreenQuad(float repeat = 1) {
    OrthoView ortho;
    glTranslatef(0, 0, -1);
    Quad(1, 1).draw(repeat, repeat);
}
