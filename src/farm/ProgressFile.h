#pragma once
// The small file through which a segment's render tells the render in segments that started it
// how far it is: the span it planned (where the end-of-show entry ends it) and the frames it has
// kept. The file is replaced whole at each change, so a reader finds one state or the next.

#include <cstdint>
#include <optional>
#include <string>

struct SegmentProgress {
    uint64_t spanFrames = 0; // of the whole render
    uint64_t keptFrames = 0; // of this segment's share
};

// The environment variable that names the file to a segment's render; without it, none is
// written.
constexpr const char* progressFileVariable = "MORVELDAN_PROGRESS_FILE";

void writeProgressFile(const std::string& path, const SegmentProgress& progress);
// Empty when the file is missing, incomplete or not a progress file.
std::optional<SegmentProgress> readProgressFile(const std::string& path);
