#pragma once
// The show's music, decoded at most once for the whole run: the stream that plays it, the beat's
// scale, the tempo, the waveform and the checks all read these samples, or what was measured over
// them (timeline/MusicFacts.h), kept from an earlier run of the same music when it can be. A show
// loaded again (a live reload) takes over the music of the show before it while the file is
// unchanged on disk.

#include "audio/MusicSamples.h"
#include "timeline/MusicFacts.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ShowMusic {
public:
    // Decodes nothing yet (without `keepSound`, only the mono mix the spectrum reads is kept when
    // it does). No file name (a script that could not be read) leaves the music empty.
    ShowMusic(std::string file, bool keepSound);
    ShowMusic(const ShowMusic&) = delete;
    ShowMusic& operator=(const ShowMusic&) = delete;

    const std::string& file() const { return file_; }
    // The decoded samples, decoded on first use (empty without music). A stream that plays them
    // may keep only a part: what the show measures over the whole music (below) is measured
    // before such a stream is made.
    const std::shared_ptr<MusicSamples>& samples();
    // Why the file gave no music; empty when it did (known without decoding when the facts were
    // kept from an earlier run).
    const std::string& error();

    // True when this is the music of `file`, decoded (or to be decoded) with at least that much
    // sound and still whole, and the file has not changed since.
    bool serves(const std::string& file, bool keepSound) const;

    // What is measured over the whole music: read from the cache when an earlier run kept it for
    // music of the same content, else measured from the samples and kept. On first use, on any
    // thread; empty facts for no music.
    const MusicFacts& facts();
    // The sorted low-band sums of the whole music (timeline/MusicBeat.h).
    const std::vector<float>& lowBandSums() { return facts().lowBandSums; }
    // The tempo found in the music; none for music without one.
    const std::optional<DetectedTempo>& tempo() { return facts().tempo; }

private:
    std::string file_;
    bool keepSound_;
    uintmax_t size_ = 0;
    std::filesystem::file_time_type written_;
    std::shared_ptr<MusicSamples> samples_;
    std::string error_;
    std::once_flag decoded_, measured_;
    MusicFacts facts_;

    void decode();
    void measure();
};
