#pragma once
// What the timeline strip shows of the music: its waveform and, when the tracks file declares no
// tempo, the tempo found in it. Both come from what the show measures over its music (read from
// the cache, or worked out from the decoded music) on a thread of their own, so that neither
// loading nor a frame waits for them.

#include "audio/TempoDetection.h"
#include "timeline/MusicFacts.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ShowMusic;

// Peaks of the mono mix over buckets of bucketMs at level 0, each further level merging two
// buckets of the one below, so that any stretch is read from a handful of buckets.
class Waveform {
public:
    static constexpr double bucketMs = MusicFacts::peakMs;

    Waveform() = default;
    // From the music's peaks over bucketMs each, and its length.
    Waveform(std::vector<WavePeak> peaks, double lengthMs);

    bool empty() const { return levels_.empty(); }
    double lengthMs() const { return lengthMs_; }
    // The peak over music time [fromMs, toMs): read from the coarsest level whose buckets are no
    // wider than the stretch; silence outside the music.
    WavePeak peakOver(double fromMs, double toMs) const;

private:
    std::vector<std::vector<WavePeak>> levels_;
    double lengthMs_ = 0;
};

class MusicAnalysis {
public:
    // Starts the work: the waveform always, the tempo when `findTempo` is set.
    MusicAnalysis(std::shared_ptr<ShowMusic> music, bool findTempo);
    // Waits for the work (reading the cache, or the music's first measuring) to end.
    ~MusicAnalysis();
    MusicAnalysis(const MusicAnalysis&) = delete;
    MusicAnalysis& operator=(const MusicAnalysis&) = delete;

    const ShowMusic& music() const { return *music_; }
    bool findsTempo() const { return findTempo_; }
    // Once true, the results below hold still.
    bool ready() const { return ready_.load(std::memory_order_acquire); }
    const Waveform& waveform() const { return waveform_; }
    const std::optional<DetectedTempo>& tempo() const { return tempo_; }
    const std::string& error() const { return error_; }

private:
    std::shared_ptr<ShowMusic> music_;
    bool findTempo_;
    std::atomic<bool> ready_{false};
    Waveform waveform_;
    std::optional<DetectedTempo> tempo_;
    std::string error_;
    std::thread worker_;

    void run();
};
