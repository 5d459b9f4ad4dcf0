#pragma once
// The tracks file of a show, data/demo.tracks: plain text, one key per line under the line that
// names its track, so that a change of one key is a change of one line.
//
//     # comment
//     track NanoBall@12000/Light pos.x
//     12000 0.5 smooth
//     14000 1.25
//
// A key line holds the time (milliseconds of effect time), the value and, optionally, the
// interpolation to the next key (step, linear, smooth or ramp; step when left out). Times rise
// strictly within a track. Lines `beat auto` and `beat gain G` set how the beat level follows the
// music (tracks/BeatSetting.h).

#include "tracks/Track.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* showTracksPath = "data/demo.tracks";

// Larger tracks files are refused rather than read.
inline constexpr size_t maxTracksFileBytes = size_t(16) << 20;

// Reading stops at this many faults.
inline constexpr size_t maxTracksErrors = 100;

struct TracksReading {
    TrackSet tracks;                 // every track that read without a fault
    std::vector<std::string> errors; // "FILE:LINE: message", in the order of the lines
};

// Reads the text of a tracks file; `fileName` leads each error. A track with a faulty line is left
// out whole; every fault is listed, up to maxTracksErrors (then no track is kept).
TracksReading readTracks(std::string_view text, const std::string& fileName);

// Reads the file; a missing file gives no tracks and no errors, an unreadable or oversized one an
// error "FILE: message".
TracksReading readTracksFile(const std::string& path);

// The text of a tracks file holding the set (tracks by name, values written so that they read back
// to the same float).
std::string writeTracks(const TrackSet& tracks);

// Writes the file beside the path and renames it over the path, so that a reader (or a crash)
// sees the old file or the new one, never a part. Throws ShowError naming the path on failure.
void saveTracksFile(const std::string& path, const TrackSet& tracks);
