#pragma once
// Asynchronous read-back of the frames drawn off screen: pixel buffer objects in a ring, so that a
// frame's pixels are copied into one while the next frames are drawn, and mapped only when the
// ring comes round to it again.

#include "render/GL.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class OffscreenWindow;

class PixelReadback {
public:
    // A ring of `depth` buffers; none where this OpenGL has no pixel buffer objects, and then
    // every read is done at once by the caller (asynchronous() is false).
    PixelReadback(const OffscreenWindow& target, int depth);
    ~PixelReadback();
    PixelReadback(const PixelReadback&) = delete;
    PixelReadback& operator=(const PixelReadback&) = delete;

    bool asynchronous() const { return !buffers_.empty(); }
    bool full() const { return inFlight_ == buffers_.size(); }
    bool empty() const { return inFlight_ == 0; }

    // Starts copying the frame just drawn.
    void start();
    // Hands over the oldest frame started (red, green, blue, alpha; rows bottom up).
    void finishOldest(uint8_t* destination);

private:
    const OffscreenWindow& target_;
    std::vector<GLuint> buffers_;
    size_t first_ = 0;
    size_t inFlight_ = 0;
};
