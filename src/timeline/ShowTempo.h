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
    double firstBarMs = 0; // the effect time of a beat that starts a bar
    std::string source;    // "data/demo.tracks:LINE" or "detected from MUSIC"
    bool compound = false; // found: the beat is a dotted quarter (6/8, 12/8)
    bool unsure = false;   // found, but the music's pulse is weak or the tempo ambiguous
    bool changes = false;  // found, for the music's first part: its tempo changes later

    double beatMs() const { return 60000 / bpm; }
    double barMs() const { return beatMs() * beatsPerBar; }
};

ShowTempo declaredShowTempo(const DeclaredTempo& tempo);
ShowTempo detectedShowTempo(const DetectedTempo& tempo, const std::string& musicFile);

// "tempo 128.00 BPM, 4 beats a bar, first bar at 0 ms (SOURCE)", with what the bar holds in
// a compound metre and, for a tempo found unsure or changing, the advice to declare it.
std::string tempoText(const ShowTempo& tempo);

// The short form for the strip's title: "140.50 BPM, 3/4" (declared), "128.00 BPM, 4/4 (found)",
// "80.00 BPM, 12/8 (found)", "119.00 BPM, 4/4 (unsure: declare it with a tempo line)".
std::string shortTempoText(const ShowTempo& tempo);
