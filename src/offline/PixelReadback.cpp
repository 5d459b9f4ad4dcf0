#include "offline/PixelReadback.h"

#include "offline/OffscreenWindow.h"
#include "platform/Error.h"

#include <cstring>

PixelReadback::PixelReadback(const OffscreenWindow& target, int depth) : target_(target) {
    if (!GLEW_VERSION_2_1 && !GLEW_ARB_pixel_buffer_object)
        return; // every read is done at once
    buffers_.resize(size_t(depth));
    glGenBuffers(depth, buffers_.data());
    for (GLuint buffer : buffers_) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(target.frameBytes()), nullptr,
                     GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

PixelReadback::~PixelReadback() {
    if (!buffers_.empty())
        glDeleteBuffers(GLsizei(buffers_.size()), buffers_.data());
}

void PixelReadback::start() {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[(first_ + inFlight_) % buffers_.size()]);
    target_.read(nullptr, GL_RGBA);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    ++inFlight_;
}

void PixelReadback::finishOldest(uint8_t* destination) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[first_]);
    const void* pixels = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (!pixels) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        raise("Unable to read the rendered picture back");
    }
    std::memcpy(destination, pixels, target_.frameBytes());
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    first_ = (first_ + 1) % buffers_.size();
    --inFlight_;
}
