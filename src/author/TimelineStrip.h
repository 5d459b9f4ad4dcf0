#pragma once
// The overlay's timeline strip: the music's waveform with the bar and beat lines of its tempo,
// the script's entries in lanes over them (selected, moved and resized with the mouse), the
// selected value's keys in a lane below, and the play head. The wheel zooms about the mouse,
// Shift+wheel scrolls.

#include "render/Texture.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct OverlayView;
struct OverlayRect;

// A key of the selected value being dragged along the strip.
struct KeyDrag {
    bool active = false;
    uint32_t time = 0;
    uint64_t gesture = 0;
};

// An entry, or one of its edges, being dragged.
struct EntryDrag {
    enum class Part { None, Body, Start, End };
    Part part = Part::None;
    size_t entry = 0;
    uint32_t grabbedAt = 0; // the time under the mouse when it was grabbed
    uint32_t start = 0, end = 0;
    uint64_t gesture = 0;
};

// The waveform and the grid as a picture of the strip's size, in one texture (made once), drawn
// again only when what it shows changes: a frame then costs one quad.
struct StripPicture {
    CTexture texture;
    std::vector<uint32_t> pixels;  // RGBA
    std::array<double, 8> shows{}; // what the picture was drawn for
};

// What the strip keeps from frame to frame: the stretch of time it shows, the drags and the
// picture under the entries. Made while the overlay's GL context is current.
struct StripState {
    double viewStart = 0;
    double viewSpan = 0; // 0: the whole show
    KeyDrag keyDrag;
    EntryDrag entryDrag;
    StripPicture picture;
};

void drawTimelineStrip(const OverlayView& view, const OverlayRect& rect, StripState& state);
