#include "player/SlowFrameWatch.h"

#include "platform/StopSignals.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <string>

namespace {

Display* asDisplay(void* display) { return static_cast<Display*>(display); }

} // namespace

SlowFrameWatch::SlowFrameWatch(SDL_Window* window)
    : frames_(slowFrameSeconds, [this] { watchSlowFrame(); }) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        connection_.display = XOpenDisplay(DisplayString(info.info.x11.display));
        window_ = info.info.x11.window;
    }
}

SlowFrameWatch::Connection::~Connection() {
    if (display)
        XCloseDisplay(asDisplay(display));
}

// Says which entries are slow, and ends the run on Escape, until the frame is on the screen.
void SlowFrameWatch::watchSlowFrame() {
    Display* display = asDisplay(connection_.display);
    char* title = nullptr;
    if (display) {
        XFetchName(display, window_, &title);
        const std::string slowTitle =
            std::string("Morveldan - slow frame: ") + frames_.description();
        XStoreName(display, window_, slowTitle.c_str());
        XSelectInput(display, window_, KeyPressMask);
        XSync(display, False); // Escape is seen from the moment the notice is out
    }
    std::fprintf(stderr, "morveldan: a frame has taken more than %g s: %s (Escape ends the run)\n",
                 slowFrameSeconds, frames_.description());
    while (frames_.frameGoesOn(std::chrono::milliseconds(50)))
        if (escapePressed())
            endProcessNow("morveldan: ended by Escape in a slow frame\n", 0);
    if (display) {
        XSelectInput(display, window_, NoEventMask);
        XStoreName(display, window_, title ? title : "Morveldan");
        XFlush(display);
        if (title)
            XFree(title);
    }
}

bool SlowFrameWatch::escapePressed() {
    Display* display = asDisplay(connection_.display);
    if (!display)
        return false;
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == KeyPress && XLookupKeysym(&event.xkey, 0) == XK_Escape)
            return true;
    }
    return false;
}
