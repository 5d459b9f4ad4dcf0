#pragma once
// The overlay's panels, one file each (the timeline strip's is in TimelineStrip.cpp), and what
// they share. Each draws one ImGui window for an overlay frame.

#include <cstdint>
#include <string>

struct OverlayView;
struct OverlayRect;

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
