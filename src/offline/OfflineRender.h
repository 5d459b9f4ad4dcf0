#pragma once
// The offline renderer: the show drawn frame by frame on the manual music clock into a framebuffer
// that stands for the window, read back asynchronously and written to a video file or to numbered
// PNG pictures on a thread of its own.

#include "audio/MusicSamples.h"
#include "effekt/Effekt.h"
#include "offline/RenderPlan.h"
#include "offline/RenderRequest.h"
#include "render/GL.h"
#include "render/Screen.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class EntryTimer;
class MusicStream;
class Show;

// The music of a whole render's frames, as far as the music goes (the encoder adds silence
// after it).
MusicStretch musicOfSpan(const MusicStream& music, const RenderPlan& plan);

// Without an X or Wayland display, SDL is told to make its GL context off screen. Call before the
// window is opened.
void chooseOfflineVideoDriver();

// A framebuffer with colour and depth of the render size that stands for the window for its
// whole life: it is the current screen, and puts the one before it back at the end. Throws when the
// size is more than this OpenGL can draw.
class OffscreenWindow {
public:
    OffscreenWindow(int width, int height);
    ~OffscreenWindow();
    OffscreenWindow(const OffscreenWindow&) = delete;
    OffscreenWindow& operator=(const OffscreenWindow&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    size_t frameBytes() const { return size_t(width_) * size_t(height_) * 4; }
    // Reads the picture at once (rows bottom up), in GL_BGRA or GL_RGBA order. GL_RGBA is the
    // order the pixels are kept in: read so, they are copied out as they are.
    void read(uint8_t* destination, GLenum order = GL_BGRA) const;

private:
    int width_, height_;
    std::optional<ScreenScope> screen_;
    GLuint framebuffer_ = 0;
    GLuint colour_ = 0;
    GLuint depth_ = 0;
};

// One frame drawn the way the live show draws it, with the music at `sample`. Returns false
// (nothing kept) when the end-of-show entry ended the show in this frame. With a timer, the clear
// and every entry are finished and timed. Throws "Render interrupted" when a stop signal has
// arrived.
bool drawOfflineFrame(MusicStream& music, Show& show, uint64_t sample, EntryTimer* timer = nullptr);
// The same for a frame drawn only for the state it leaves behind (warm-up), finished before it
// returns: frames that nobody reads back otherwise pile up in the driver, hundreds of megabytes
// with a software renderer.
bool drawWarmupFrame(MusicStream& music, Show& show, uint64_t sample);

// Receives the kept pictures (red, green, blue, alpha; rows bottom up), on the writer thread.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // The music of the kept frames, not copied: it stays alive until finish.
    virtual void setAudio(const MusicStretch& /*sound*/) {}
    virtual void write(const uint8_t* rgbaBottomUp) = 0;
    // Completes the output; a sink destroyed without it removes what it wrote.
    virtual void finish() = 0;
    virtual std::string describe() const = 0;
};

// The video file or picture folder of the request, opened (so an unwritable place fails at once).
std::unique_ptr<FrameSink> openFrameSink(const RenderRequest& request, int width, int height);

// The CSV file of a profile, created at once so an unwritable place fails before the show loads.
class ProfileFile {
public:
    explicit ProfileFile(const std::string& path);
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;
    void write(const std::string& text);

private:
    std::string path_;
    std::FILE* file_;
};

// Told how a render goes besides its progress line: its plan once made, and the count of frames
// kept after each one.
class RenderObserver {
public:
    virtual ~RenderObserver() = default;
    virtual void planned(const RenderPlan& plan) = 0;
    virtual void kept(uint64_t frames) = 0;
};

// Renders the loaded show (or the segment of it the request names) into the sink; returns its
// plan. Throws ShowError on any failure; the sink is then left unfinished.
RenderPlan renderShow(const RenderRequest& request, Show& show, OffscreenWindow& target,
                      FrameSink& sink, RenderObserver* observer = nullptr);

// Draws the frame at `time` as a render starting there draws its first frame (after the same
// warm-up) and saves it as a PNG picture. Throws ShowError on any failure.
void renderShot(uint32_t time, const RenderRequest& request, Show& show, OffscreenWindow& target,
                const std::string& pictureFile);

// Draws the frames a render of the request would keep, with its warm-up, without reading them
// back or encoding them, and prints on standard output what each script entry cost to draw.
void profileShow(const RenderRequest& request, Show& show, const OffscreenWindow& target,
                 ProfileFile* csv);
