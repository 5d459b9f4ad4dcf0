#pragma once
// Off-screen render targets: a framebuffer object with one colour texture.

#include "render/GL.h"

class RenderTarget {
public:
    GLuint colourTexture = 0;
    int width = 0;
    int height = 0;
    GLuint framebuffer = 0;
    GLuint depthBuffer = 0;

    // Screen-sized, colour only; starts cleared to the current clear colour.
    RenderTarget();
    // Sized, with a depth buffer; not cleared. Its owner binds it with the bare framebuffer calls.
    RenderTarget(int width, int height);
    // Sized, colour only, its texture of the given internal format (GL_RGBA32F_ARB keeps float
    // colours); not cleared. Bound the same way.
    RenderTarget(int width, int height, GLenum colourFormat);
    ~RenderTarget();
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // How many targets have been made so far in this run.
    static uint64_t madeCount() { return made; }

    // Draw into the target with the screen's viewport and perspective.
    void bind();
    // Draw into the window again.
    void unbind();

private:
    static inline uint64_t made = 0;

    void checkComplete();
    void release();
};
