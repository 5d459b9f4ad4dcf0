#pragma once
// Writing the rendered show to a video file with FFmpeg: H.264 (libx264, yuv420p, constant
// quality) and the music in AAC, in the container the file's extension names (MP4 by default).
// The file is written under a temporary name in the same folder and takes its own name only when
// it is complete; an encoder destroyed before `finish` removes what it wrote.

#include "audio/MusicSamples.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct VideoFormat {
    int width = 0;
    int height = 0; // both even
    int fps = 60;
    // x264 constant rate factor; 0 is lossless: the pictures in RGB, every pixel kept (x264's RGB
    // encoder at quantiser 0), where other values convert them to yuv420p.
    int quality = 20;
    std::string preset = "veryfast"; // x264 speed preset: how much work each frame gets
    bool sound = true;               // without: a file of video alone (a segment)
    // The video is not encoded but copied, packet for packet, from segment files (appendVideoOf);
    // width, height and quality are then those of the segments.
    bool copiedVideo = false;
};

class ShowEncoder {
public:
    // Opens the encoders and the temporary file. Throws ShowError with a clear reason when the
    // format is unknown, an encoder is missing or the file cannot be written.
    ShowEncoder(const std::string& path, const VideoFormat& format);
    ~ShowEncoder();
    ShowEncoder(const ShowEncoder&) = delete;
    ShowEncoder& operator=(const ShowEncoder&) = delete;

    // The sound of the render, from its first frame on. It is written alongside the pictures,
    // as long as they last; sound missing at the end is silence. The music is not copied: it
    // must stay alive until `finish`.
    void setAudio(const MusicStretch& sound);
    // One picture: width x height pixels, 4 bytes each (red, green, blue, unused), rows from the
    // bottom up as OpenGL reads them.
    void writeFrame(const uint8_t* rgbaBottomUp);
    // Writes the sound up to the end of the last picture, flushes the encoders, completes the file
    // and gives it its name.
    void finish();

    // With copiedVideo: the video of a segment file written by a ShowEncoder of the same format
    // without sound, after the video copied so far, and the sound up to its end. Throws ShowError
    // naming the segment when it cannot be read or was encoded differently from the first one.
    // Returns the number of frames copied.
    int64_t appendVideoOf(const std::string& segmentFile);

    // The temporary name the file is written under.
    const std::string& temporaryPath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The name a file is written under until it is complete: hidden, in the same folder, with the
// same extension (so the container can still be told from it).
std::string temporaryNameFor(const std::string& path);
