#pragma once
// A small SDL2 window with an OpenGL 2.0 context on the (virtual) display, for drawing tests.
// The window is the current screen; the initial view is the screen perspective
// with GL_TEXTURE_2D on, as the program sets it before effects are constructed.

#include "TestFiles.h"
#include "effects/EffectContext.h"
#include "platform/ShowFiles.h"
#include "render/GL.h"
#include "render/Screen.h"
#include "render/ShaderInputs.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SDL_Window;

class GlFixture : public ::testing::Test {
protected:
    // Window size; a test class may change these before SetUp runs.
    int windowWidth = 64;
    int windowHeight = 64;

    void SetUp() override;
    void TearDown() override;

    // Clears colour and depth to the clear colour (black unless changed).
    void clearFrame(float r = 0, float g = 0, float b = 0, float a = 0);
    // Reads the window's pixels; pixel(x, y) has y = 0 at the top row as seen on screen.
    void readFrame();
    Rgba pixel(int x, int y) const;
    // Mean of one channel (0 red .. 2 blue) over a rectangle of the last read frame.
    double meanChannel(int channel, int x0, int y0, int x1, int y1) const;
    double meanBrightness() const;
    void saveFrame(const std::string& path) const;

    // Fails the test when OpenGL reports an error; `where` names the step.
    void expectNoGlError(const char* where);
    // Texture 0, program 0, blending off and the window framebuffer bound.
    void expectCleanState(const char* where);
    // The screen perspective and viewport with the model-view matrix current, identity and at the
    // bottom of its stack, as every effect leaves them.
    void expectScreenPerspective(const std::string& where);

    // Makes the folder the working directory until the test ends: the run folder whose data/ the
    // effects read.
    void enterFolder(const std::filesystem::path& folder);

    // What the effects a test makes are given: the frame's inputs, the files they read and their
    // families' shared state, as a show gives them (one show a test).
    const EffectContext& context() const { return effects_->context; }
    FrameInputs& frameInputs() { return effects_->frame; }
    ShowFiles& files() { return effects_->files; }

    TempDir temp;
    std::vector<Rgba> frame;

private:
    struct EffectStore {
        FrameInputs frame;
        ShowFiles files{FileReach::Anywhere};
        FamilyStates shared;
        EffectContext context{frame, files, shared};
    };
    std::unique_ptr<EffectStore> effects_;
    std::unique_ptr<ScopedWorkingDirectory> inFolder_;
    std::optional<ScreenScope> screen_;
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
};

// Applies a channel tolerance.
bool near(const Rgba& a, const Rgba& b, int tolerance);
::std::ostream& operator<<(::std::ostream& out, const Rgba& c);
