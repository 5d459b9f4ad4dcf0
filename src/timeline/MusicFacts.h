#pragma once
// What the show measures over its whole music: its length, the beat level's range, the tempo and
// bar, and the waveform's peaks. Worked out from one decode and kept in the user's cache folder
// ($XDG_CACHE_HOME/morveldan/music, else ~/.cache/morveldan/music), one file per music content,
// so that a later check or run reads them instead of decoding and measuring again.

#include "audio/TempoDetection.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class MusicSamples;

// The lowest and highest sample of a stretch of the music.
struct WavePeak {
    float low = 0, high = 0;
};

struct MusicFacts {
    static constexpr double peakMs = 5; // the stretch of music each peak covers

    uint64_t frames = 0;                // the music's length at musicSampleRate
    std::vector<float> lowBandSums;     // sorted (timeline/MusicBeat.h)
    std::optional<DetectedTempo> tempo; // none for music without one
    std::vector<WavePeak> peaks;        // of the mono mix, peakMs each
};

// Measures them over whole decoded music (the work of about a second for a few minutes).
MusicFacts measureMusicFacts(const MusicSamples& samples);

// The cache file for music whose bytes have this checksum; empty without a cache folder.
std::filesystem::path musicFactsFile(const std::string& contentChecksum);

// The facts kept in the file for that checksum; none when the file is missing, unreadable,
// written for other music or by another version of the measurements, or damaged in any way.
std::optional<MusicFacts> readMusicFacts(const std::filesystem::path& file,
                                         const std::string& contentChecksum);

// Keeps the facts in the file (written beside it and renamed over it, the folder made on
// demand); says why on the debug output and returns false when it cannot.
bool writeMusicFacts(const std::filesystem::path& file, const std::string& contentChecksum,
                     const MusicFacts& facts);
