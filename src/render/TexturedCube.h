#pragma once
// An axis-aligned cube with per-face texture coordinates, shared by the cube effects.

// Draws a cube centred on the origin with the given half edge as one GL_QUADS primitive of six
// faces (front, back, top, bottom, right, left), each with a normal of length 0.5 and the whole
// texture once. It binds no texture, sets no colour and uses no program: the caller does.
void drawTexturedCube(float halfEdge);

// The same cube in client vertex arrays, for drawing many: the arrays are enabled while the guard
// lives, and at its end the current normal and texture coordinate are left as drawTexturedCube
// leaves them. Cubes drawn from the arrays come out exactly as drawTexturedCube draws them.
class TexturedCubeArrays {
public:
    explicit TexturedCubeArrays(float halfEdge);
    ~TexturedCubeArrays();
    TexturedCubeArrays(const TexturedCubeArrays&) = delete;
    TexturedCubeArrays& operator=(const TexturedCubeArrays&) = delete;

    void draw() const;

private:
    float positions_[24 * 3];
    float normals_[24 * 3];
    float texCoords_[24 * 2];
};
