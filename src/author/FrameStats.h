#pragma once
// Fixed-size histories for the overlay's graphs: frame times and beat levels. Recording
// allocates nothing.

#include <array>
#include <cstddef>

class FrameTimes {
public:
    static constexpr size_t capacity = 240;

    void add(float milliseconds);
    size_t count() const { return count_; }
    // Oldest first, `count()` values (the rest of the array is unused).
    const float* chronological();
    float mean() const;
    // The smallest value that 95 % of the recorded frames do not exceed.
    float percentile95() const;

private:
    std::array<float, capacity> ring_{};
    std::array<float, capacity> ordered_{};
    size_t next_ = 0;
    size_t count_ = 0;
};

class BeatHistory {
public:
    static constexpr size_t capacity = 2048;

    void add(double seconds, float beat);
    size_t count() const { return count_; }
    // The i-th oldest sample.
    double seconds(size_t i) const { return seconds_[index(i)]; }
    float beat(size_t i) const { return beats_[index(i)]; }

private:
    std::array<double, capacity> seconds_{};
    std::array<float, capacity> beats_{};
    size_t next_ = 0;
    size_t count_ = 0;

    size_t index(size_t i) const { return (next_ + capacity - count_ + i) % capacity; }
};
