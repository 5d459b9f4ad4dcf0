#pragma once
// An off-screen cube map to draw into: one texture of six square faces, a framebuffer for each.

#include "render/GL.h"

#include <array>

class CubeTarget {
public:
    GLuint texture = 0;
    int size = 0;
    std::array<GLuint, 6> faces = {}; // framebuffers of +X, -X, +Y, -Y, +Z, -Z

    // Faces of size x size texels of the internal format; cleared to the current clear colour.
    CubeTarget(int size, GLenum colourFormat);
    ~CubeTarget();
    CubeTarget(const CubeTarget&) = delete;
    CubeTarget& operator=(const CubeTarget&) = delete;

private:
    void release();
};
