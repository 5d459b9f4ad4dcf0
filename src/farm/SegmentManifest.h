#pragma once
// The manifest beside a segment file: what render it belongs to and which frames it holds.

#include <cstdint>
#include <optional>
#include <string>

// What a segment file holds, written beside it as "<file>.manifest".
struct SegmentManifest {
    std::string show;    // checksum of the show's files
    std::string music;   // checksum of its music file
    std::string options; // the options that shape the pictures: size, rate, span, quality, preset
    int segment = 0;     // from 1
    int segments = 0;
    uint64_t firstFrame = 0, endFrame = 0; // the frames [first, end) of the span
    uint64_t spanFrames = 0;
    std::string file; // checksum of the segment file

    // The same show, music, options and count of segments, whatever span each found.
    bool sameShowAndOptions(const SegmentManifest& other) const {
        return show == other.show && music == other.music && options == other.options &&
               segments == other.segments;
    }
    bool sameRender(const SegmentManifest& other) const {
        return sameShowAndOptions(other) && spanFrames == other.spanFrames;
    }
};

std::string manifestPathOf(const std::string& segmentFile);
void writeManifest(const std::string& path, const SegmentManifest& manifest);
// Empty, with the reason in `problem`, when the file is missing or not a manifest.
std::optional<SegmentManifest> readManifest(const std::string& path, std::string& problem);
