#include "GlFixture.h"

#include "render/GLState.h"
#include "render/RenderTarget.h"
#include "render/Screen.h"

#include <FreeImage.h>
#include <SDL2/SDL.h>

#include <array>
#include <cstdlib>
#include <ostream>

void GlFixture::SetUp() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        GTEST_SKIP() << "no display: " << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    window_ = SDL_CreateWindow("test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               windowWidth, windowHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    context_ = SDL_GL_CreateContext(window_);
    ASSERT_NE(context_, nullptr) << SDL_GetError();
    ASSERT_NO_THROW(requireOpenGl2());
    while (glGetError() != GL_NO_ERROR) {
    }
    screen_.emplace(Screen{windowWidth, windowHeight, 0});
    effects_ = std::make_unique<EffectStore>();
    setScreenPerspective();
    glEnable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void GlFixture::enterFolder(const std::filesystem::path& folder) {
    inFolder_ = std::make_unique<ScopedWorkingDirectory>(folder);
}

void GlFixture::TearDown() {
    inFolder_.reset();
    effects_.reset(); // its textures go while the context is there
    if (context_)
        SDL_GL_DeleteContext(context_);
    if (window_)
        SDL_DestroyWindow(window_);
    SDL_Quit();
}

void GlFixture::clearFrame(float r, float g, float b, float a) {
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void GlFixture::readFrame() {
    std::vector<Rgba> bottomUp(size_t(windowWidth) * windowHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    frame.resize(bottomUp.size());
    for (int y = 0; y < windowHeight; ++y)
        std::copy_n(&bottomUp[size_t(windowHeight - 1 - y) * windowWidth], windowWidth,
                    &frame[size_t(y) * windowWidth]);
}

Rgba GlFixture::pixel(int x, int y) const { return frame.at(size_t(y) * windowWidth + x); }

double GlFixture::meanChannel(int channel, int x0, int y0, int x1, int y1) const {
    double sum = 0;
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const Rgba c = pixel(x, y);
            sum += channel == 0 ? c.r : channel == 1 ? c.g : c.b;
            ++count;
        }
    return count ? sum / count : 0;
}

double GlFixture::meanBrightness() const {
    double sum = 0;
    for (int channel = 0; channel < 3; ++channel)
        sum += meanChannel(channel, 0, 0, windowWidth, windowHeight);
    return sum / 3;
}

void GlFixture::saveFrame(const std::string& path) const {
    writeImage(path, windowWidth, windowHeight, [&](int x, int y) { return pixel(x, y); });
}

void GlFixture::expectNoGlError(const char* where) {
    GLenum error;
    while ((error = glGetError()) != GL_NO_ERROR)
        ADD_FAILURE() << "GL error 0x" << std::hex << error << " at " << where;
}

void GlFixture::expectCleanState(const char* where) {
    expectNoGlError(where);
    GLint value = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(value, 0) << "texture left bound after " << where;
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0) << "program left in use after " << where;
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "blending left on after " << where;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &value);
    EXPECT_EQ(value, 0) << "framebuffer left bound after " << where;
}

void GlFixture::expectScreenPerspective(const std::string& where) {
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

bool near(const Rgba& a, const Rgba& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a)
               << ")";
}
