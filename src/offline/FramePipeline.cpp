#include "offline/FramePipeline.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

FramePipeline::FramePipeline(size_t frameBytes, int depth, Consumer consumer)
    : consumer_(std::move(consumer)), buffers_(size_t(depth), std::vector<uint8_t>(frameBytes)) {
    for (auto& buffer : buffers_)
        free_.push_back(buffer.data());
    worker_ = std::thread([this] { consume(); });
}

FramePipeline::~FramePipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queued_.clear();
    }
    changed_.notify_all();
    worker_.join();
}

void FramePipeline::rethrowFailure() {
    if (failure_)
        std::rethrow_exception(failure_);
}

uint8_t* FramePipeline::acquire() {
    const auto start = Clock::now();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty() || failure_; });
    waitSeconds_ += secondsSince(start);
    rethrowFailure();
    uint8_t* frame = free_.back();
    free_.pop_back();
    return frame;
}

void FramePipeline::submit(uint8_t* frame) {
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(frame);
    }
    changed_.notify_all();
}

void FramePipeline::drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return (queued_.empty() && busy_ == 0) || failure_; });
    rethrowFailure();
}

double FramePipeline::consumerSeconds() const {
    std::lock_guard lock(mutex_);
    return consumerSeconds_;
}

void FramePipeline::consume() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
        if (stopping_)
            return;
        uint8_t* frame = queued_.front();
        queued_.pop_front();
        ++busy_;
        lock.unlock();
        const auto start = Clock::now();
        std::exception_ptr failure;
        try {
            consumer_(frame);
        } catch (...) {
            failure = std::current_exception();
        }
        const double spent = secondsSince(start);
        lock.lock();
        --busy_;
        consumerSeconds_ += spent;
        free_.push_back(frame);
        if (failure) {
            failure_ = failure;
            queued_.clear();
        }
        changed_.notify_all();
        if (failure_)
            return;
    }
}
