#pragma once
// A live frame can take long (a shader whose loops the driver runs to its limit at every pixel),
// and the driver cannot be interrupted in the middle of one: the window's events wait for the frame
// to end. A watcher with a connection of its own to the X server names the entries of a frame that
// takes more than two seconds, on standard error and in the window's title, and ends the run when
// Escape is pressed in the window meanwhile. Unsaved edits are in the recovery folder already (they
// are written there as they are made).

#include "platform/FrameWatch.h"

struct SDL_Window;

// How long a live frame may take before it is reported and Escape is watched for.
constexpr double slowFrameSeconds = 2;

class SlowFrameWatch {
public:
    // Watches frames drawn in the window; on a display that is not X11 it only reports them.
    explicit SlowFrameWatch(SDL_Window* window);
    SlowFrameWatch(const SlowFrameWatch&) = delete;
    SlowFrameWatch& operator=(const SlowFrameWatch&) = delete;

    // What the next frame draws, its beginning and its end, as for any frame watch.
    FrameWatch& frames() { return frames_; }

private:
    void watchSlowFrame();
    bool escapePressed();

    // The watcher's own connection, closed after the watching thread has ended.
    struct Connection {
        void* display = nullptr;
        ~Connection();
    } connection_;
    unsigned long window_ = 0;
    FrameWatch frames_;
};
