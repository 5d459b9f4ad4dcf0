#pragma once
// Writing music files with FFmpeg (the asset generator writes the show's music with it; tests
// write the files they decode).

#include <string>
#include <vector>

enum class AudioFileFormat {
    OggVorbis, // Vorbis in Ogg, about 192 kbit/s
    Flac,      // lossless, 16 bit
    Mp3,       // MPEG layer 3, 192 kbit/s
    Wav,       // 16-bit PCM
};

// Encodes interleaved stereo float samples in [-1, 1] at `sampleRate` into `path`. Throws
// ShowError naming the file when it cannot be written (a partial file is removed). The same
// samples always give the same bytes.
void writeAudioFile(const std::string& path, AudioFileFormat format,
                    const std::vector<float>& interleavedStereo, int sampleRate);

inline void writeOggVorbis(const std::string& path, const std::vector<float>& interleavedStereo,
                           int sampleRate) {
    writeAudioFile(path, AudioFileFormat::OggVorbis, interleavedStereo, sampleRate);
}
