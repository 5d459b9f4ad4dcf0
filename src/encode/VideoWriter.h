#pragma once
// Writes an AVI file with Motion JPEG frames (the show's video, and test files).

#include <cstdint>
#include <memory>
#include <string>

class MjpegAviWriter {
public:
    // Throws ShowError when the file or the encoder cannot be opened.
    MjpegAviWriter(const std::string& path, int width, int height, int framesPerSecond,
                   int quality = 4);
    ~MjpegAviWriter();
    MjpegAviWriter(const MjpegAviWriter&) = delete;
    MjpegAviWriter& operator=(const MjpegAviWriter&) = delete;

    // One frame of width x height RGB pixels (3 bytes each), top row first.
    void addFrame(const uint8_t* rgb);
    // Flushes and closes the file; called by the destructor if not called before.
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
