#include "render/TexturedCube.h"

#include "render/GL.h"

#include <algorithm>

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

TexturedCubeArrays::TexturedCubeArrays(float halfEdge) {
    size_t vertex = 0;
    for (const CubeFace& face : cubeFaces)
        for (const CubeCorner& corner : face.corners) {
            const float position[3] = {corner.x * halfEdge, corner.y * halfEdge,
                                       corner.z * halfEdge};
            const float normal[3] = {face.nx, face.ny, face.nz};
            std::copy(position, position + 3, positions_ + 3 * vertex);
            std::copy(normal, normal + 3, normals_ + 3 * vertex);
            texCoords_[2 * vertex] = corner.s;
            texCoords_[2 * vertex + 1] = corner.t;
            ++vertex;
        }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions_);
    glNormalPointer(GL_FLOAT, 0, normals_);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords_);
}

TexturedCubeArrays::~TexturedCubeArrays() {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    const CubeFace& lastFace = cubeFaces[5];
    const CubeCorner& lastCorner = lastFace.corners[3];
    glNormal3f(lastFace.nx, lastFace.ny, lastFace.nz);
    glTexCoord2f(lastCorner.s, lastCorner.t);
}

void TexturedCubeArrays::draw() const { glDrawArrays(GL_QUADS, 0, 24); }
