#pragma once
// The overlay's panels, one file each (the timeline strip's is in TimelineStrip.cpp), and what
// they share: what one overlay frame shows or acts on, and where a panel is. Each draws one ImGui
// window for an overlay frame.

#include "author/EntryEditing.h"
#include "author/FrameStats.h"
#include "author/MusicAnalysis.h"
#include "author/ShowEntries.h"
#include "author/TrackEditing.h"
#include "effekt/Effekt.h"
#include "timeline/ShowTempo.h"

#include <cstdint>
#include <string>
#include <vector>

class Transport;

struct OverlayRect {
    float x, y, width, height;
};

// Everything one overlay frame shows or acts on.
struct OverlayView {
    Transport& transport;
    const EffectList& effects;
    const std::vector<ShowEntry>& entries;
    int rows;
    FrameTimes& frames;
    const BeatHistory& beats;
    double nowSeconds; // the beat history's clock now
    const std::string& reloadError;
    TrackSet& tracks;
    const TweakRegistry& tweaks;
    TrackEditing& editing;
    const std::string& status; // the last save's outcome
    uint32_t time;             // the effect time now (keys are set at it)
    EntryEditing& entryEditing;
    const ShowTempo* tempo;        // null while none is declared or found yet
    const MusicAnalysis* analysis; // the waveform, once ready
    uint32_t startOffset;          // effect time at the music's start
    const std::string& keysHelp;   // every key of the run, for the clock panel's tooltip
};

// "m:ss.mmm" of an effect time in milliseconds.
std::string clockText(uint32_t milliseconds);

// Begins the panel's window at its default place and size (for a layout file that does not know
// it yet); the author moves, resizes and collapses it. True while it is open; ImGui::End() ends it
// either way.
bool beginPanel(const char* title, const OverlayRect& rect);

// The time, playing or paused, the loop, the frame-time and beat graphs, and the keys' help.
void drawClockPanel(const OverlayView& view, const OverlayRect& rect);

// What the tweak panel keeps from frame to frame.
struct TweakPanelState {
    uint64_t widgetGesture = 0; // the tweak widget held now, so that its changes undo as one
    char newTrackName[64] = {}; // the name typed for a new free track
};

// The selected value's key bar, the active entries' tweak widgets and the tracks list.
void drawTweakPanel(const OverlayView& view, const OverlayRect& rect, TweakPanelState& state);

// The last reload's error, while the last good show plays on.
void drawReloadErrorPanel(const std::string& error, const OverlayRect& rect);
