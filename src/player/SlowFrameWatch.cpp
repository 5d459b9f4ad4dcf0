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

SlowFrameWatch::SlowFrameWatch(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        display_ = XOpenDisplay(DisplayString(info.info.x11.display));
        window_ = info.info.x11.window;
    }
    thread_ = std::thread([this] { watch(); });
}

SlowFrameWatch::~SlowFrameWatch() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_one();
    thread_.join();
    if (display_)
        XCloseDisplay(asDisplay(display_));
}

void SlowFrameWatch::begin() {
    {
        std::lock_guard lock(mutex_);
        inFrame_ = true;
        deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(slowFrameSeconds));
    }
    changed_.notify_one();
}

void SlowFrameWatch::end() {
    {
        std::lock_guard lock(mutex_);
        inFrame_ = false;
        deadline_ = Clock::time_point::max();
    }
    changed_.notify_one();
}

void SlowFrameWatch::watch() {
    std::unique_lock lock(mutex_);
    while (!closing_) {
        if (deadline_ == Clock::time_point::max())
            changed_.wait(lock);
        else if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout && inFrame_ &&
                 Clock::now() >= deadline_)
            watchSlowFrame(lock);
    }
}

// Says which entries are slow, and ends the run on Escape, until the frame is on the screen.
void SlowFrameWatch::watchSlowFrame(std::unique_lock<std::mutex>& lock) {
    deadline_ = Clock::time_point::max();
    Display* display = asDisplay(display_);
    char* title = nullptr;
    if (display) {
        XFetchName(display, window_, &title);
        const std::string slowTitle = std::string("Morveldan - slow frame: ") + description_;
        XStoreName(display, window_, slowTitle.c_str());
        XSelectInput(display, window_, KeyPressMask);
        XSync(display, False); // Escape is seen from the moment the notice is out
    }
    std::fprintf(stderr, "morveldan: a frame has taken more than %g s: %s (Escape ends the run)\n",
                 slowFrameSeconds, description_);
    while (inFrame_ && !closing_) {
        lock.unlock();
        const bool escape = escapePressed();
        lock.lock();
        if (escape)
            endProcessNow("morveldan: ended by Escape in a slow frame\n", 0);
        changed_.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (display) {
        XSelectInput(display, window_, NoEventMask);
        XStoreName(display, window_, title ? title : "Morveldan");
        XFlush(display);
        if (title)
            XFree(title);
    }
}

bool SlowFrameWatch::escapePressed() {
    Display* display = asDisplay(display_);
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
