#include "timeline/ShowTempo.h"

#include "platform/Error.h"
#include "tracks/TracksFile.h"

namespace {

const char* const declareAdvice = "declare it with a tempo line";

// "4/4", "3/4"; for a compound metre the eighths: "6/8", "12/8".
std::string metreText(const ShowTempo& tempo) {
    return tempo.compound ? formatText("%d/8", 3 * tempo.beatsPerBar)
                          : formatText("%d/4", tempo.beatsPerBar);
}

// Why a found tempo is not to be trusted, or empty.
std::string doubt(const ShowTempo& tempo) {
    if (tempo.changes)
        return formatText("the music's first part: its tempo changes later; %s", declareAdvice);
    return tempo.unsure ? formatText("unsure: %s", declareAdvice) : std::string();
}

} // namespace

ShowTempo declaredShowTempo(const DeclaredTempo& tempo) {
    return {tempo.bpm, tempo.beatsPerBar, tempo.firstBeatMs,
            formatText("%s:%d", showTracksPath, tempo.line)};
}

ShowTempo detectedShowTempo(const DetectedTempo& tempo, const std::string& musicFile) {
    return {tempo.bpm,
            tempo.beatsPerBar,
            tempo.firstBarSeconds * 1000,
            "detected from " + musicFile,
            tempo.compound,
            tempo.confidence < DetectedTempo::unsureBelow,
            tempo.tempoChanges};
}

std::string tempoText(const ShowTempo& tempo) {
    const std::string compound =
        tempo.compound ? formatText(" (%s, the beat a dotted quarter)", metreText(tempo).c_str())
                       : std::string();
    const std::string why = doubt(tempo);
    return formatText("tempo %.2f BPM, %d beat%s a bar%s, first bar at %.0f ms (%s%s%s)", tempo.bpm,
                      tempo.beatsPerBar, tempo.beatsPerBar == 1 ? "" : "s", compound.c_str(),
                      tempo.firstBarMs, tempo.source.c_str(), why.empty() ? "" : "; ", why.c_str());
}

std::string shortTempoText(const ShowTempo& tempo) {
    const std::string text = formatText("%.2f BPM, %s", tempo.bpm, metreText(tempo).c_str());
    if (!tempo.source.starts_with("detected"))
        return text;
    const std::string why = doubt(tempo);
    return formatText("%s (%s)", text.c_str(), why.empty() ? "found" : why.c_str());
}
