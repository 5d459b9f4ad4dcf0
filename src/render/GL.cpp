#include "render/GL.h"

#include "platform/Error.h"

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
