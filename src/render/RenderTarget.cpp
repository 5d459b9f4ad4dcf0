#include "render/RenderTarget.h"

#include "platform/Error.h"
#include "render/GLState.h"
#include "render/Screen.h"

namespace {

GLuint makeColourTexture(int width, int height, GLenum format = GL_RGBA8) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), width, height, 0, GL_RGBA,
                 format == GL_RGBA8 ? GL_UNSIGNED_BYTE : GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

} // namespace

void RenderTarget::checkComplete() {
    if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        bindScreenFramebuffer();
        release();
        throw ShowError("FBO not ready");
    }
}

void RenderTarget::release() {
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteTextures(1, &colourTexture);
    if (depthBuffer != 0)
        glDeleteRenderbuffersEXT(1, &depthBuffer);
    framebuffer = colourTexture = depthBuffer = 0;
}

RenderTarget::RenderTarget() : width(currentScreen().width), height(currentScreen().height) {
    ++made;
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    colourTexture = makeColourTexture(width, height);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                              colourTexture, 0);
    checkComplete();
    bind();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    unbind();
}

RenderTarget::RenderTarget(int width_, int height_) : width(width_), height(height_) {
    ++made;
    glGenRenderbuffersEXT(1, &depthBuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthBuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    colourTexture = makeColourTexture(width, height);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                              colourTexture, 0);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 depthBuffer);
    checkComplete();
    unbind();
}

RenderTarget::RenderTarget(int width_, int height_, GLenum colourFormat)
    : width(width_), height(height_) {
    ++made;
    colourTexture = makeColourTexture(width, height, colourFormat);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                              colourTexture, 0);
    checkComplete();
    unbind();
}

RenderTarget::~RenderTarget() { release(); }

void RenderTarget::bind() {
    setPerspectiveView(width, height);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    setScreenPerspective();
}

void RenderTarget::unbind() { bindScreenFramebuffer(); }
