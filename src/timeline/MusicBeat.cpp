#include "timeline/MusicBeat.h"

#include "audio/AudioDecoder.h"
#include "audio/MusicSamples.h"
#include "audio/SpectrumAnalyzer.h"
#include "platform/Error.h"
#include "timeline/ScriptLoader.h"
#include "timeline/ShowFrame.h"
#include "tracks/TracksFile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

namespace {

// The loud moments that `beat auto` brings to 1.
constexpr double loudShare = 0.98;
// Below this 95th percentile the beat hardly moves: the lowest level effects react to.
constexpr float stillBeat = 0.25f;

struct MeasuredMusic {
    uintmax_t size = 0;
    std::filesystem::file_time_type written;
    std::vector<float> sums;
};

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

std::vector<float> measureLowBandSums(const std::string& musicFile) {
    try {
        return measureLowBandSums(decodeAudioFile(musicFile, maxMusicFrames, false));
    } catch (const std::exception&) {
        return {}; // the run says what is wrong with its music
    }
}

} // namespace

const std::vector<float>& musicLowBandSums(const std::string& musicFile,
                                           const MusicSamples* decoded) {
    static std::map<std::string, MeasuredMusic> measured;
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(musicFile, error);
    const auto written = std::filesystem::last_write_time(musicFile, error);
    MeasuredMusic& music = measured[musicFile];
    if (music.sums.empty() || music.size != size || music.written != written)
        music = {size, written,
                 decoded ? measureLowBandSums(*decoded) : measureLowBandSums(musicFile)};
    return music.sums;
}

float sortedPercentile(const std::vector<float>& sorted, double q) {
    if (sorted.empty())
        return 0;
    const auto rank = size_t(std::ceil(q * double(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

float beatScaleFor(const BeatSetting& setting, const std::string& musicFile) {
    if (!setting.automatic)
        return setting.gain;
    const float loud = sortedPercentile(musicLowBandSums(musicFile), loudShare);
    return loud > 0 ? setting.gain / loud : setting.gain;
}

void checkBeat(ShowCheck& check, const BeatSetting& setting, const std::string& musicFile,
               const MusicSamples& decoded) {
    const std::vector<float>& sums = musicLowBandSums(musicFile, &decoded);
    if (sums.empty())
        return;
    const float scale = beatScaleFor(setting, musicFile);
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
