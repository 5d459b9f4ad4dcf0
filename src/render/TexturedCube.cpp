#include "render/TexturedCube.h"

#include "render/GL.h"

namespace {

struct CubeCorner {
    float s, t;    // texture coordinate
    float x, y, z; // position in units of the half edge
};

struct CubeFace {
    float nx, ny, nz;
    CubeCorner corners[4];
};

// clang-format off
constexpr CubeFace cubeFaces[6] = {
    {0, 0, 0.5f,  {{0, 0, -1, -1,  1}, {1, 0,  1, -1,  1}, {1, 1,  1,  1,  1}, {0, 1, -1,  1,  1}}},
    {0, 0, -0.5f, {{1, 0, -1, -1, -1}, {1, 1, -1,  1, -1}, {0, 1,  1,  1, -1}, {0, 0,  1, -1, -1}}},
    {0, 0.5f, 0,  {{0, 1, -1,  1, -1}, {0, 0, -1,  1,  1}, {1, 0,  1,  1,  1}, {1, 1,  1,  1, -1}}},
    {0, -0.5f, 0, {{1, 1, -1, -1, -1}, {0, 1,  1, -1, -1}, {0, 0,  1, -1,  1}, {1, 0, -1, -1,  1}}},
    {0.5f, 0, 0,  {{1, 0,  1, -1, -1}, {1, 1,  1,  1, -1}, {0, 1,  1,  1,  1}, {0, 0,  1, -1,  1}}},
    {-0.5f, 0, 0, {{0, 0, -1, -1, -1}, {1, 0, -1, -1,  1}, {1, 1, -1,  1,  1}, {0, 1, -1,  1, -1}}},
};
// clang-format on

} // namespace

void drawTexturedCube(float halfEdge) {
    glBegin(GL_QUADS);
    for (const CubeFace& face : cubeFaces) {
        glNormal3f(face.nx, face.ny, face.nz);
        for (const CubeCorner& corner : face.corners) {
            glTexCoord2f(corner.s, corner.t);
            glVertex3f(corner.x * halfEdge, corner.y * halfEdge, corner.z * halfEdge);
        }
    }
    glEnd();
}
