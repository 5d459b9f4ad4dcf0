#pragma once
// A media file of a show opened for decoding: that file alone. Some containers name other files
// or addresses (playlists, concatenation lists, references to external data); the demuxer is
// given none of them, so a file in the show's folder cannot pull in one from outside it.

#include "media/FFmpegHandles.h"

#include <string>

namespace ffmpeg {

// The opened input, or null with FFmpeg's error code in `status`.
InputPtr openMediaFile(const std::string& path, int& status);

} // namespace ffmpeg
