#include "platform/FrameWatch.h"

#include "platform/StopSignals.h"

#include <cstdio>

namespace {

FrameWatch* running = nullptr;

} // namespace

FrameWatch::FrameWatch(double limitSeconds) : limit_(limitSeconds), thread_([this] { watch(); }) {
    running = this;
}

FrameWatch::~FrameWatch() {
    running = nullptr;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_one();
    thread_.join();
}

FrameWatch* FrameWatch::current() { return running; }

void FrameWatch::begin() {
    {
        std::lock_guard lock(mutex_);
        std::snprintf(message_, sizeof message_,
                      "morveldan: one frame took longer than %g s, the limit (--frame-limit): %s\n",
                      limit_.count(), description_);
        deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(limit_);
    }
    changed_.notify_one();
}

void FrameWatch::end() {
    std::lock_guard lock(mutex_);
    deadline_ = Clock::time_point::max();
}

void FrameWatch::watch() {
    std::unique_lock lock(mutex_);
    while (!closing_) {
        if (deadline_ == Clock::time_point::max())
            changed_.wait(lock);
        else if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout &&
                 Clock::now() >= deadline_)
            endProcessNow(message_, 1);
    }
}
