#pragma once
// The live show's frame: the window's keys, the frame drawn at the music's time, and what a live
// run adds around it.

#include "effekt/Effekt.h"

#include <cstdint>

class FrameWatch;
class MusicStream;
class RenderWindow;
class Show;

// What a live run adds to its frames (reloads, transport, the overlay).
class LiveFrameHooks {
public:
    virtual ~LiveFrameHooks() = default;
    // Before anything of the frame is drawn.
    virtual void beforeFrame() = 0;
    // After the show's frame, before it is presented.
    virtual void afterFrame(uint32_t time, float beat) = 0;
};

// One frame of the live show. Returns false, without drawing, when Escape was released during the
// previous poll; otherwise clears, applies the seek keys, draws the active effects at the music's
// time and beat (scaled into the window when it was resized), and presents the frame. The hooks,
// when given, run around the drawing; the watch, when given, watches it from the moment its time
// is known until the frame is presented, knowing the entries it draws.
bool runShowFrame(RenderWindow& window, MusicStream& music, Show& show,
                  LiveFrameHooks* hooks = nullptr, FrameWatch* watch = nullptr);
