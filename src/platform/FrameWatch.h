#pragma once
// A limit on the time one frame of a render or a shot may take. The driver cannot be interrupted
// in the middle of a frame, so a watching thread ends the process when a frame overruns: it says
// which entries the frame drew, removes the run's partial files and exits with status 1.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// The default limit on one offline frame, in seconds (--frame-limit changes it).
constexpr double frameLimitSeconds = 20;

class FrameWatch {
public:
    explicit FrameWatch(double limitSeconds);
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

private:
    void watch();

    using Clock = std::chrono::steady_clock;
    std::chrono::duration<double> limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Clock::time_point deadline_ = Clock::time_point::max();
    bool closing_ = false;
    char description_[descriptionSize] = {};
    char message_[descriptionSize + 128] = {};
    std::thread thread_;
};
