#include "render/CubeTarget.h"

#include "platform/Error.h"
#include "render/Screen.h"

CubeTarget::CubeTarget(int size_, GLenum colourFormat) : size(size_) {
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_CUBE_MAP, texture);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face), 0, GLint(colourFormat), size,
                     size, 0, GL_RGBA, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glGenFramebuffersEXT(GLsizei(faces.size()), faces.data());
    for (int face = 0; face < 6; ++face) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, faces[size_t(face)]);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                  GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face), texture, 0);
        if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
            bindScreenFramebuffer();
            release();
            throw ShowError("FBO not ready");
        }
        glClear(GL_COLOR_BUFFER_BIT);
    }
    bindScreenFramebuffer();
}

CubeTarget::~CubeTarget() { release(); }

void CubeTarget::release() {
    glDeleteFramebuffersEXT(GLsizei(faces.size()), faces.data());
    glDeleteTextures(1, &texture);
    faces = {};
    texture = 0;
}
