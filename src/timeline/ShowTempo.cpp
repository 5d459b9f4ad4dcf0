#include "timeline/ShowTempo.h"

#include "platform/Error.h"
#include "tracks/TracksFile.h"

ShowTempo declaredShowTempo(const DeclaredTempo& tempo) {
    return {tempo.bpm, tempo.beatsPerBar, tempo.firstBeatMs,
            formatText("%s:%d", showTracksPath, tempo.line)};
}

ShowTempo detectedShowTempo(const DetectedTempo& tempo, const std::string& musicFile) {
    return {tempo.bpm, 4, tempo.firstBeatSeconds * 1000, "detected from " + musicFile};
}

std::string tempoText(const ShowTempo& tempo) {
    return formatText("tempo %.2f BPM, %d beat%s a bar, first beat at %.0f ms (%s)", tempo.bpm,
                      tempo.beatsPerBar, tempo.beatsPerBar == 1 ? "" : "s", tempo.firstBeatMs,
                      tempo.source.c_str());
}
