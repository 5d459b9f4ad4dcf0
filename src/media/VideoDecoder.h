#pragma once
// Frames of a video file's first video stream on demand, each scaled whole to 512 x 512 pixels of
// 4 bytes in the byte order blue, green, red, 255, bottom row first (a bottom-up 32-bit DIB).

#include "platform/ShowFiles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class VideoDecoder {
public:
    static constexpr int frameSide = 512;
    static constexpr size_t frameBytes = size_t(frameSide) * frameSide * 4;

    // Throws "Error reading AVI" when the file or its video stream cannot be read or has no
    // frames, and "Error opening AVIStreamGetFrameOpen - your video codec might be out dated!"
    // when no decoder fits its codec; either after a line on standard error naming the file.
    explicit VideoDecoder(const ShowFile& file);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    int frameCount() const;
    int sourceWidth() const;
    int sourceHeight() const;
    // The stream's frame rate (25 when the file gives none).
    double framesPerSecond() const;

    // Frame n (0 <= n < frameCount). Decodes forward from the current frame, or seeks to the key
    // frame at or before n when n lies behind or beyond a key frame; a frame asked for twice in a
    // row is not decoded again. Only key frames decoding was seen to start from cleanly count.
    // When the decoder delivers nothing, or a damaged frame, the last whole frame stays.
    const uint8_t* frame(int n);

    // How many frames did not decode cleanly when the file was read at load (each load reports
    // it, naming the file). A stream without timestamps is played frame by frame as it decodes.
    int damagedFrames() const;

    // How many frames were decoded so far (decoding work done, for tests and benchmarks).
    uint64_t decodedFrames() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
