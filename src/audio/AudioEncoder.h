#pragma once
// Writes music as OGG Vorbis through FFmpeg (libvorbis). The output depends only on the samples:
// the container's stream serial and the encoder tags are fixed, so equal input gives equal bytes.

#include <string>
#include <vector>

// interleavedStereo: left/right pairs in [-1, 1]. quality: Vorbis quality 0 to 10. Throws
// ShowError naming the file when it cannot be written.
void encodeOggVorbis(const std::string& path, const std::vector<float>& interleavedStereo,
                     int sampleRate, float quality = 5);
