#pragma once
// The arithmetic and the body of one frame of the show, shared by live runs and offline work.

#include "effekt/Effekt.h"

#include <cstddef>
#include <cstdint>

class EntryTimer;
class MusicStream;
class Show;

// Number of spectrum bins summed into the beat level.
constexpr int beatBins = 16;

// The effect time of a music position: milliseconds truncated toward zero, cut to 32 bits, plus
// the start offset with 32-bit wrap-around (the offset is added unscaled).
uint32_t effectTimeAt(double seconds, uint32_t startOffset);

// The sum of the 16 lowest spectrum magnitudes.
float lowBandSum(const float* spectrum);
// A low-band sum (scaled as the show asks) raised to the sixth power, at most 1.
float beatLevelOfSum(float sum);
// The beat level of a spectrum: its low-band sum times `scale`, raised to the sixth power, at
// most 1. A scale of 1 takes the sum as it is.
float beatLevel(const float* spectrum, float scale = 1.0f);

// Calls draw on every effect whose window strictly contains the time, first to last.
void drawActiveEffects(EffectList& effects, uint32_t time, float beat);

// Clears the colour and depth buffers (to whatever clear colour is set).
void clearFrame();

// The show's effect time and beat level at the music's position, with what the frame gives the
// entries to read (the spectrum, the tracks' values) set, as drawMusicFrame does before drawing.
uint32_t prepareMusicFrame(const MusicStream& music, Show& show, float& beat);

// Draws the show's active effects at the music's current position: the effect time from its
// position and the beat level from its spectrum (scaled as the tracks' beat setting asks); before
// them the tracks take their values at that time and the frame inputs the spectrum, each entry
// timed when a timer is given. Returns the effect time; the beat level goes to `beat`.
uint32_t drawMusicFrame(const MusicStream& music, Show& show, EntryTimer* timer = nullptr,
                        float* beat = nullptr);

// "the entries active at 1500 ms: data/demo.txt:4 ShaderToy ...", into `text`, without allocating:
// what a frame that takes too long was drawing.
void describeActiveEntries(const Show& show, uint32_t time, char* text, size_t size);
