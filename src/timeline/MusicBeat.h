#pragma once
// The beat level measured over a whole piece of music, so that a show's beat can be scaled to the
// music it plays: the same scale in live runs, renders and segments, whatever part they draw.

#include "tracks/BeatSetting.h"

#include <string>
#include <vector>

class MusicSamples;
struct ShowCheck;

// Frames between two spectra measured over the music.
constexpr int beatMeasureStep = 1024;

// The low-band sums (what the beat level is made of, before scaling) of the spectra that end at
// every beatMeasureStep-th frame of the music, sorted from low to high.
std::vector<float> measureLowBandSums(const MusicSamples& music);

// The value at the share q (0 to 1) of sorted values (nearest rank); 0 for none.
float sortedPercentile(const std::vector<float>& sorted, double q);

// What multiplies the low-band sum: the gain, and with `beat auto` the reciprocal of the music's
// 98th percentile sum (of its sorted low-band sums) as well, left out for silent or unreadable
// music.
float beatScaleFor(const BeatSetting& setting, const std::vector<float>& sortedSums);

// Notes in the check the beat level's range over the music (its sorted low-band sums) as the show
// scales it, and warns when the beat hardly moves and no `beat auto` line scales it.
void checkBeat(ShowCheck& check, const BeatSetting& setting, const std::vector<float>& sortedSums);
