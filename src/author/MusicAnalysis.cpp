#include "author/MusicAnalysis.h"

#include "audio/MusicStream.h"
#include "platform/Debug.h"
#include "timeline/ShowMusic.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

constexpr double framesPerMs = musicSampleRate / 1000.0;

WavePeak merged(const WavePeak& a, const WavePeak& b) {
    return {std::min(a.low, b.low), std::max(a.high, b.high)};
}

} // namespace

Waveform::Waveform(std::vector<WavePeak> base, double lengthMs) : lengthMs_(lengthMs) {
    if (base.empty())
        return;
    levels_.push_back(std::move(base));
    while (levels_.back().size() > 1) {
        const std::vector<WavePeak>& below = levels_.back();
        std::vector<WavePeak> level((below.size() + 1) / 2);
        for (size_t i = 0; i < level.size(); ++i)
            level[i] =
                2 * i + 1 < below.size() ? merged(below[2 * i], below[2 * i + 1]) : below[2 * i];
        levels_.push_back(std::move(level));
    }
}

WavePeak Waveform::peakOver(double fromMs, double toMs) const {
    fromMs = std::max(fromMs, 0.0);
    toMs = std::min(toMs, lengthMs_);
    if (levels_.empty() || toMs <= fromMs)
        return {};
    size_t level = 0;
    double width = bucketMs;
    while (level + 1 < levels_.size() && width * 2 <= toMs - fromMs) {
        ++level;
        width *= 2;
    }
    const std::vector<WavePeak>& buckets = levels_[level];
    const size_t first = std::min(size_t(fromMs / width), buckets.size() - 1);
    const size_t last = std::min(size_t(std::ceil(toMs / width)), buckets.size());
    WavePeak peak = buckets[first];
    for (size_t i = first + 1; i < last; ++i)
        peak = merged(peak, buckets[i]);
    return peak;
}

MusicAnalysis::MusicAnalysis(std::shared_ptr<ShowMusic> music, bool findTempo)
    : music_(std::move(music)), findTempo_(findTempo), worker_([this] { run(); }) {}

MusicAnalysis::~MusicAnalysis() { worker_.join(); }

void MusicAnalysis::run() {
    const auto started = std::chrono::steady_clock::now();
    const MusicFacts& facts = music_->facts();
    error_ = music_->error();
    waveform_ = Waveform(facts.peaks, double(facts.frames) / framesPerMs);
    if (findTempo_)
        tempo_ = facts.tempo;
    debugLine("The music's waveform%s for the timeline strip in %.0f ms",
              findTempo_ ? " and tempo" : "",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                  .count());
    ready_.store(true, std::memory_order_release);
}
