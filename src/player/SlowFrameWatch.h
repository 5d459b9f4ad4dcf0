#pragma once
// A live frame can take long (a shader whose loops the driver runs to its limit at every pixel),
// and the driver cannot be interrupted in the middle of one: the window's events wait for the frame
// to end. A watching thread with a connection of its own to the X server names the entries of a
// frame that takes more than two seconds, on standard error and in the window's title, and ends
// the run when Escape is pressed in the window meanwhile. Unsaved edits are in the recovery folder
// already (they are written there as they are made).

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

struct SDL_Window;

// How long a live frame may take before it is reported and Escape is watched for.
constexpr double slowFrameSeconds = 2;

class SlowFrameWatch {
public:
    // Watches frames drawn in the window; on a display that is not X11 it only reports them.
    explicit SlowFrameWatch(SDL_Window* window);
    ~SlowFrameWatch();
    SlowFrameWatch(const SlowFrameWatch&) = delete;
    SlowFrameWatch& operator=(const SlowFrameWatch&) = delete;

    // The text that names what the next frame draws; filled before begin().
    char* description() { return description_; }
    static constexpr size_t descriptionSize = 1024;
    // A frame begins, described by description(); end() when it is on the screen.
    void begin();
    void end();

private:
    void watch();
    void watchSlowFrame(std::unique_lock<std::mutex>& lock);
    bool escapePressed();

    using Clock = std::chrono::steady_clock;
    void* display_ = nullptr; // the watcher's own X connection
    unsigned long window_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    Clock::time_point deadline_ = Clock::time_point::max();
    bool inFrame_ = false;
    bool closing_ = false;
    char description_[descriptionSize] = {};
    std::thread thread_;
};
