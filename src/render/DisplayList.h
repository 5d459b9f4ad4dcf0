#pragma once
// A display list compiled once from what a drawing function sends, deleted with its owner.

#include "platform/Error.h"
#include "render/GL.h"

class DisplayList {
public:
    template <class Drawing> explicit DisplayList(Drawing drawing) : name_(glGenLists(1)) {
        if (name_ == 0)
            raise("Unable to make a display list");
        glNewList(name_, GL_COMPILE);
        drawing();
        glEndList();
    }
    ~DisplayList() { glDeleteLists(name_, 1); }
    DisplayList(const DisplayList&) = delete;
    DisplayList& operator=(const DisplayList&) = delete;

    void call() const { glCallList(name_); }

private:
    GLuint name_;
};
