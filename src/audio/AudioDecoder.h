#pragma once
// Decoding of a whole music file into memory.

#include <cstdint>
#include <string>
#include <vector>

// Longest music kept in memory: 30 minutes (about 635 MB as stereo float).
constexpr uint64_t maxMusicFrames = uint64_t(30) * 60 * 44100;

// Decodes the first audio stream of a local file (any container and codec FFmpeg reads) to
// interleaved 44.1 kHz stereo float. A mono source plays at full level in both channels. Music
// longer than `maxFrames` is cut there with one line on stderr. Throws ShowError naming the file
// when it is missing, not a regular file, has no audio stream or yields no samples.
std::vector<float> decodeAudioFile(const std::string& path, uint64_t maxFrames = maxMusicFrames);
