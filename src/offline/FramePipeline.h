#pragma once
// Hands rendered pictures to a consumer (an encoder, a picture writer) on a thread of its own,
// through a fixed set of buffers: the renderer fills a free buffer while earlier ones are being
// consumed, and waits only when every buffer is still queued.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class FramePipeline {
public:
    using Consumer = std::function<void(const uint8_t* frame)>;

    // `depth` buffers of `frameBytes` each, all allocated here.
    FramePipeline(size_t frameBytes, int depth, Consumer consumer);
    // Stops the thread; frames still queued are dropped.
    ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // A free buffer to fill; waits while none is free. Rethrows what the consumer threw.
    uint8_t* acquire();
    // Queues a filled buffer (one from acquire) for the consumer.
    void submit(uint8_t* frame);
    // Waits until every queued frame is consumed. Rethrows what the consumer threw.
    void drain();

    // Time the consumer spent on frames, and the renderer spent waiting for a free buffer.
    double consumerSeconds() const;
    double waitSeconds() const { return waitSeconds_; }

private:
    Consumer consumer_;
    std::vector<std::vector<uint8_t>> buffers_;
    std::vector<uint8_t*> free_;
    std::deque<uint8_t*> queued_;
    int busy_ = 0; // frames taken by the consumer and not yet returned
    bool stopping_ = false;
    std::exception_ptr failure_;
    double consumerSeconds_ = 0;
    double waitSeconds_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;

    void consume();
    void rethrowFailure();
};
