#pragma once
// A limit on the time one frame may take. The driver cannot be interrupted in the middle of a
// frame, so a watching thread acts when a frame overruns: for a render or a shot it ends the
// process, saying which entries the frame drew, removing the run's partial files and exiting with
// status 1; a live run gives what to do instead.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The default limit on one offline frame, in seconds (--frame-limit changes it).
constexpr double frameLimitSeconds = 20;

class FrameWatch {
public:
    // The watch of offline work: an overrun ends the process. It is current() while it lives.
    explicit FrameWatch(double limitSeconds);
    // A watch that calls `overrun` on its thread when a frame passes the limit.
    FrameWatch(double limitSeconds, std::function<void()> overrun);
    ~FrameWatch();
    FrameWatch(const FrameWatch&) = delete;
    FrameWatch& operator=(const FrameWatch&) = delete;

    // The watch of the offline work running now, or null.
    static FrameWatch* current();

    // The text that names what the next frame draws; filled before begin().
    char* description() { return description_; }
    static constexpr size_t descriptionSize = 1024;
    // A frame begins, described by description(); end() when it is finished.
    void begin();
    void end();

    // For an overrun: waits up to `pause` while the frame goes on; false once it has ended or the
    // watch is closing.
    bool frameGoesOn(std::chrono::milliseconds pause);

private:
    void watch();

    using Clock = std::chrono::steady_clock;
    std::chrono::duration<double> limit_;
    std::function<void()> overrun_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Clock::time_point deadline_ = Clock::time_point::max();
    bool inFrame_ = false;
    bool closing_ = false;
    char description_[descriptionSize] = {};
    char message_[descriptionSize + 128] = {};
    std::thread thread_;
};
