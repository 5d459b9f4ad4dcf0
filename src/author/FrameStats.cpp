#include "author/FrameStats.h"

#include <algorithm>
#include <cmath>

void FrameTimes::add(float milliseconds) {
    ring_[next_] = milliseconds;
    next_ = (next_ + 1) % capacity;
    count_ = std::min(count_ + 1, capacity);
}

const float* FrameTimes::chronological() {
    for (size_t i = 0; i < count_; ++i)
        ordered_[i] = ring_[(next_ + capacity - count_ + i) % capacity];
    return ordered_.data();
}

float FrameTimes::mean() const {
    if (count_ == 0)
        return 0;
    double sum = 0;
    for (size_t i = 0; i < count_; ++i)
        sum += ring_[i];
    return float(sum / double(count_));
}

float FrameTimes::percentile95() const {
    if (count_ == 0)
        return 0;
    std::array<float, capacity> sorted = ring_;
    const size_t rank = size_t(std::ceil(0.95 * double(count_))) - 1;
    std::nth_element(sorted.begin(), sorted.begin() + rank, sorted.begin() + count_);
    return sorted[rank];
}

void BeatHistory::add(double seconds, float beat) {
    seconds_[next_] = seconds;
    beats_[next_] = beat;
    next_ = (next_ + 1) % capacity;
    count_ = std::min(count_ + 1, capacity);
}
