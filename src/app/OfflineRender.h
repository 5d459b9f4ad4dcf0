#pragma once
// The offline renderer: the show drawn frame by frame on the manual music clock into a framebuffer
// that stands for the window, read back asynchronously and written to a video file or to numbered
// PNG pictures on a thread of its own.

#include "app/CommandLine.h"
#include "render/GL.h"
#include "timeline/Effekt.h"

#include <cstdint>
#include <memory>
#include <string>

class MusicStream;

// Without an X or Wayland display, SDL is told to make its GL context off screen. Call before the
// window is opened.
void chooseOfflineVideoDriver();

// A framebuffer with colour and depth of the render size that stands for the window for its
// whole life: it sets windowFramebuffer, screenWidth and screenHeight, and puts them back at the
// end. Throws when the size is more than this OpenGL can draw.
class OffscreenWindow {
public:
    OffscreenWindow(int width, int height);
    ~OffscreenWindow();
    OffscreenWindow(const OffscreenWindow&) = delete;
    OffscreenWindow& operator=(const OffscreenWindow&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    size_t frameBytes() const { return size_t(width_) * size_t(height_) * 4; }
    // Reads the picture at once (blue, green, red, alpha; rows bottom up).
    void read(uint8_t* destination) const;

private:
    int width_, height_;
    int previousWidth_, previousHeight_;
    GLuint framebuffer_ = 0;
    GLuint colour_ = 0;
    GLuint depth_ = 0;
};

// One frame drawn the way the live show draws it, with the music at `sample`. Returns false
// (nothing kept) when the end-of-show entry ended the show in this frame. Throws "Render
// interrupted" when a stop signal has arrived.
bool drawOfflineFrame(MusicStream& music, EffectList& effects, uint32_t startOffset,
                      uint64_t sample);

// Receives the kept pictures (blue, green, red, alpha; rows bottom up), on the writer thread.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void setAudio(std::vector<float> /*interleavedStereo*/) {}
    virtual void write(const uint8_t* bgraBottomUp) = 0;
    // Completes the output; a sink destroyed without it removes what it wrote.
    virtual void finish() = 0;
    virtual std::string describe() const = 0;
};

// The video file or picture folder of the request, opened (so an unwritable place fails at once).
std::unique_ptr<FrameSink> openFrameSink(const RenderRequest& request, int width, int height);

// Renders the loaded show into the sink. Throws ShowError on any failure; the sink is then left
// unfinished.
void renderShow(const RenderRequest& request, EffectList& effects, const std::string& musicFile,
                int32_t startOffset, OffscreenWindow& target, FrameSink& sink);
