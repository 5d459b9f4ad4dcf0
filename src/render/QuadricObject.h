#pragma once
// A GLU quadric with texture coordinates and smooth normals, owned for its whole life.

#include "render/GL.h"

#include <new>

class QuadricObject {
public:
    QuadricObject() : quadric(gluNewQuadric()) {
        if (!quadric)
            throw std::bad_alloc();
        gluQuadricTexture(quadric, GL_TRUE);
        gluQuadricNormals(quadric, GLU_SMOOTH);
    }
    ~QuadricObject() { gluDeleteQuadric(quadric); }
    QuadricObject(const QuadricObject&) = delete;
    QuadricObject& operator=(const QuadricObject&) = delete;

    GLUquadric* get() const { return quadric; }

private:
    GLUquadric* quadric;
};
