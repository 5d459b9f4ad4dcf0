#pragma once
// The clock that offline work times its frames and its progress by.

#include <chrono>

using Clock = std::chrono::steady_clock;

inline double secondsBetween(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}
