#pragma once
// Drawing without a visible window: SDL told to make its GL context off screen where there is no
// display, and the framebuffer that stands for the window while the show is drawn offline.

#include "render/GL.h"
#include "render/Screen.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// Without an X or Wayland display, SDL is told to make its GL context off screen. Call before the
// window is opened.
void chooseOfflineVideoDriver();

// A framebuffer with colour and depth of the render size that stands for the window for its
// whole life: it is the current screen, and puts the one before it back at the end. Throws when the
// size is more than this OpenGL can draw.
class OffscreenWindow {
public:
    OffscreenWindow(int width, int height);
    ~OffscreenWindow();
    OffscreenWindow(const OffscreenWindow&) = delete;
    OffscreenWindow& operator=(const OffscreenWindow&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    size_t frameBytes() const { return size_t(width_) * size_t(height_) * 4; }
    // Reads the picture at once (rows bottom up), in GL_BGRA or GL_RGBA order. GL_RGBA is the
    // order the pixels are kept in: read so, they are copied out as they are.
    void read(uint8_t* destination, GLenum order = GL_BGRA) const;

private:
    int width_, height_;
    std::optional<ScreenScope> screen_;
    GLuint framebuffer_ = 0;
    GLuint colour_ = 0;
    GLuint depth_ = 0;
};
