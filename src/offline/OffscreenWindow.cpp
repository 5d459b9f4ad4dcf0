#include "offline/OffscreenWindow.h"

#include "platform/Error.h"

#include <SDL2/SDL.h>

#include <cstdlib>

void chooseOfflineVideoDriver() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
}

OffscreenWindow::OffscreenWindow(int width, int height) : width_(width), height_(height) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &largest);
    if (width > largest || height > largest)
        raise("This OpenGL draws off screen at most %dx%d pixels, not %dx%d", largest, largest,
              width, height);
    glGenRenderbuffersEXT(1, &colour_);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour_);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, width, height);
    glGenRenderbuffersEXT(1, &depth_);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth_);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    glGenFramebuffersEXT(1, &framebuffer_);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                 colour_);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 depth_);
    if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteFramebuffersEXT(1, &framebuffer_);
        glDeleteRenderbuffersEXT(1, &colour_);
        glDeleteRenderbuffersEXT(1, &depth_);
        raise("No off-screen framebuffer of %dx%d pixels", width, height);
    }
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    screen_.emplace(Screen{width, height, framebuffer_});
    glViewport(0, 0, width, height);
}

OffscreenWindow::~OffscreenWindow() {
    screen_.reset();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer_);
    glDeleteRenderbuffersEXT(1, &colour_);
    glDeleteRenderbuffersEXT(1, &depth_);
}

void OffscreenWindow::read(uint8_t* destination, GLenum order) const {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width_, height_, order, GL_UNSIGNED_BYTE, destination);
}
