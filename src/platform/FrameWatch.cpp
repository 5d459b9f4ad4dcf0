#include "platform/FrameWatch.h"

#include "platform/StopSignals.h"

#include <cstdio>

namespace {

FrameWatch* running = nullptr;

} // namespace

FrameWatch::FrameWatch(double limitSeconds) : FrameWatch(limitSeconds, nullptr) { running = this; }

FrameWatch::FrameWatch(double limitSeconds, std::function<void()> overrun)
    : limit_(limitSeconds), overrun_(std::move(overrun)), thread_([this] { watch(); }) {}

FrameWatch::~FrameWatch() {
    if (running == this)
        running = nullptr;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

FrameWatch* FrameWatch::current() { return running; }

void FrameWatch::begin() {
    {
        std::lock_guard lock(mutex_);
        if (!overrun_)
            std::snprintf(
                message_, sizeof message_,
                "morveldan: one frame took longer than %g s, the limit (--frame-limit): %s\n",
                limit_.count(), description_);
        inFrame_ = true;
        deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(limit_);
    }
    changed_.notify_all();
}

void FrameWatch::end() {
    {
        std::lock_guard lock(mutex_);
        inFrame_ = false;
        deadline_ = Clock::time_point::max();
    }
    changed_.notify_all();
}

bool FrameWatch::frameGoesOn(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, pause, [this] { return !inFrame_ || closing_; });
    return inFrame_ && !closing_;
}

void FrameWatch::watch() {
    std::unique_lock lock(mutex_);
    while (!closing_) {
        if (deadline_ == Clock::time_point::max()) {
            changed_.wait(lock);
        } else if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout &&
                   Clock::now() >= deadline_) {
            if (!overrun_)
                endProcessNow(message_, 1);
            deadline_ = Clock::time_point::max();
            lock.unlock();
            overrun_();
            lock.lock();
        }
    }
}
