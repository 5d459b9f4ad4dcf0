#pragma once
// Where the kept frames of a render go: a video file (H.264 with the music in AAC) or numbered PNG
// pictures in a folder.

#include "audio/MusicSamples.h"
#include "offline/RenderRequest.h"

#include <cstdint>
#include <memory>
#include <string>

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
