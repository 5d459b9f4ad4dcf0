#pragma once

#include "platform/ShowFiles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What an offline render (--render, --frames, --contact-sheet) is asked to make.
struct RenderRequest {
    std::string videoFile;    // --render: a video file (H.264 and AAC)
    std::string framesFolder; // --frames: numbered PNG pictures in this folder
    std::string sheetFile;    // --contact-sheet: one picture with a thumbnail of every entry
    bool profile = false;     // --profile: what each script entry costs to draw, nothing written
    std::string profileCsv;   // --profile-csv: the profile also written to this CSV file
    int fps = 60;
    std::optional<uint32_t> from; // effect time of the first kept frame (default: the show's start)
    std::optional<uint32_t> to;   // effect time at which the render ends (default: the music's end)
    uint32_t warmup = 0;          // ms drawn in full before `from`, a thumbnail or a shot
    int quality = 20;             // the H.264 encoder's constant rate factor, 0 (lossless) to 51
    std::string preset = "veryfast"; // the H.264 encoder's speed preset (x264's names)
    bool verbose = false; // finish each frame's drawing before reading it back, for timings
    int segment = 0;      // --segment K/N: K, the segment (from 1) of N equal frame ranges rendered
    int segmentCount = 0; //   as a video-only file with a manifest; N (0: the whole render)
    int localSegments = 0; // --segments N: rendered here in N segments, resumably, then joined
    int jobs = 1;          // --jobs: segments rendered at a time
    FileReach reach = FileReach::ShowFolder; // where the show's files may lie (--allow-outside)
    // The options about the show itself as they were given (--no-plugins, --allow-outside, ...),
    // for the runs that render its segments.
    std::vector<std::string> showOptions;
};
