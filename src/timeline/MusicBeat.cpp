#include "timeline/MusicBeat.h"

#include "audio/MusicSamples.h"
#include "audio/SpectrumAnalyzer.h"
#include "platform/Error.h"
#include "timeline/ScriptLoader.h"
#include "timeline/ShowFrame.h"
#include "tracks/TracksFile.h"

#include <algorithm>
#include <cmath>

namespace {

// The loud moments that `beat auto` brings to 1.
constexpr double loudShare = 0.98;
// Below this 95th percentile the beat hardly moves: the lowest level effects react to.
constexpr float stillBeat = 0.25f;

} // namespace

std::vector<float> measureLowBandSums(const MusicSamples& music) {
    std::vector<float> sums;
    SpectrumAnalyzer analyzer;
    float spectrum[SpectrumAnalyzer::binCount];
    for (uint64_t end = beatMeasureStep; end <= music.frames(); end += beatMeasureStep) {
        analyzer.analyze(music.mono(), end, spectrum);
        sums.push_back(lowBandSum(spectrum));
    }
    std::sort(sums.begin(), sums.end());
    return sums;
}

float sortedPercentile(const std::vector<float>& sorted, double q) {
    if (sorted.empty())
        return 0;
    const auto rank = size_t(std::ceil(q * double(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

float beatScaleFor(const BeatSetting& setting, const std::vector<float>& sortedSums) {
    if (!setting.automatic)
        return setting.gain;
    const float loud = sortedPercentile(sortedSums, loudShare);
    return loud > 0 ? setting.gain / loud : setting.gain;
}

void checkBeat(ShowCheck& check, const BeatSetting& setting, const std::vector<float>& sums) {
    if (sums.empty())
        return;
    const float scale = beatScaleFor(setting, sums);
    const auto levelAt = [&](double q) {
        return beatLevelOfSum(sortedPercentile(sums, q) * scale);
    };
    const float percentile95 = levelAt(0.95);
    std::string scaled;
    if (setting.automatic)
        scaled += " beat auto";
    if (setting.gain != 1.0f)
        scaled += formatText(" beat gain %g", double(setting.gain));
    check.notes.push_back(
        formatText("beat level over the music: median %.2f, 95th percentile %.2f, max %.2f%s%s%s",
                   double(levelAt(0.5)), double(percentile95), double(levelAt(1.0)),
                   scaled.empty() ? "" : " (with", scaled.c_str(), scaled.empty() ? "" : ")"));
    // Silent music has nothing for `beat auto` to scale.
    if (!setting.automatic && percentile95 < stillBeat && sums.back() > 0)
        check.warnings.push_back(formatText(
            "%s: warning: the beat hardly moves with this music; a line 'beat auto' in %s "
            "scales it so that the music's loud moments reach 1",
            showTracksPath, showTracksPath));
}
