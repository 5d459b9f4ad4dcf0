#pragma once
// The show's music, decoded once for the whole run: the stream that plays it, the beat's scale,
// the tempo, the waveform and the checks all read these samples. A show loaded again (a live
// reload) takes over the music of the show before it while the file is unchanged on disk.

#include "audio/MusicSamples.h"
#include "audio/TempoDetection.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ShowMusic {
public:
    // Decodes the file now (without `keepSound`, only the mono mix the spectrum reads is kept). A
    // file that cannot be decoded leaves the music empty, with the reason kept; no file name
    // (a script that could not be read) leaves it empty without one.
    ShowMusic(std::string file, bool keepSound);
    ShowMusic(const ShowMusic&) = delete;
    ShowMusic& operator=(const ShowMusic&) = delete;

    const std::string& file() const { return file_; }
    // The decoded samples (empty without music). A stream that plays them may keep only a part:
    // what the show measures over the whole music (below) is measured before such a stream is made.
    const std::shared_ptr<MusicSamples>& samples() const { return samples_; }
    // Why the file gave no music; empty when it did.
    const std::string& error() const { return error_; }

    // True when this is the music of `file`, decoded with at least that much sound and still
    // whole, and the file has not changed since.
    bool serves(const std::string& file, bool keepSound) const;

    // The sorted low-band sums of the whole music (timeline/MusicBeat.h), measured on first use.
    const std::vector<float>& lowBandSums();
    // The tempo found in the music, worked out on first use; none for music without one.
    const std::optional<DetectedTempo>& tempo();

private:
    std::string file_;
    bool keepSound_;
    uintmax_t size_ = 0;
    std::filesystem::file_time_type written_;
    std::shared_ptr<MusicSamples> samples_;
    std::string error_;
    std::once_flag sumsMeasured_, tempoFound_;
    std::vector<float> sums_;
    std::optional<DetectedTempo> tempo_;
};
