#include "render/GL.h"

#include "platform/Error.h"

#include <algorithm>

void requireOpenGl2() {
    glewExperimental = GL_TRUE;
    const GLenum result = glewInit();
    // A context without an X display (SDL's offscreen driver, used to render without a screen)
    // has every GL entry point; only the GLX extension query fails.
    if (result != GLEW_OK && result != GLEW_ERROR_NO_GLX_DISPLAY)
        raise("Error: %s\n", reinterpret_cast<const char*>(glewGetErrorString(result)));
    if (!GLEW_VERSION_2_0)
        raise("Opengl 2.0 not supported");
}

void requireDrawableSize(int width, int height) {
    GLint viewport[2] = {0, 0}, renderbuffer = 0, texture = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &renderbuffer);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    const int widest = std::min({viewport[0], renderbuffer, texture});
    const int tallest = std::min({viewport[1], renderbuffer, texture});
    if (width > widest || height > tallest)
        raise("This OpenGL draws at most %dx%d pixels, not %dx%d", widest, tallest, width, height);
}
