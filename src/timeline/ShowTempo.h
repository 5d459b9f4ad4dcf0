#pragma once
// The show's tempo: the one its tracks file declares, or else the one found in its music. The
// overlay's beat grid and `--check` use it.

#include "audio/TempoDetection.h"
#include "tracks/Track.h"

#include <optional>
#include <string>

struct ShowTempo {
    double bpm = 120;
    int beatsPerBar = 4;
    double firstBeatMs = 0;
    std::string source; // "data/demo.tracks:LINE" or "detected from MUSIC"

    double beatMs() const { return 60000 / bpm; }
    double barMs() const { return beatMs() * beatsPerBar; }
};

ShowTempo declaredShowTempo(const DeclaredTempo& tempo);
// Four beats a bar: detection does not tell bars.
ShowTempo detectedShowTempo(const DetectedTempo& tempo, const std::string& musicFile);

// "tempo 128.00 BPM, 4 beats a bar, first beat at 0 ms (SOURCE)".
std::string tempoText(const ShowTempo& tempo);
