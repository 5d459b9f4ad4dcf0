#include "offline/ProgressLine.h"

#include "offline/RenderPlan.h"

#include <cstdio>
#include <string>

namespace {

constexpr double progressInterval = 0.25;
constexpr double rateAfterSeconds = 1.0;

} // namespace

ProgressLine::ProgressLine(uint64_t total)
    : total_(total), start_(Clock::now()), last_(start_), keptStart_(start_) {}

ProgressLine::~ProgressLine() {
    if (printed_)
        std::fputs("\n", stderr);
}

void ProgressLine::warmingUp(uint64_t done, uint64_t total) {
    if (!due())
        return;
    printed_ = true;
    std::fprintf(stderr, "\rlead-in %llu/%llu        ", (unsigned long long)done,
                 (unsigned long long)total);
}

void ProgressLine::startKeeping() { keptStart_ = Clock::now(); }

void ProgressLine::kept(uint64_t done) {
    if (!due() && done != total_)
        return;
    printed_ = true;
    const double elapsed = secondsBetween(keptStart_, Clock::now());
    // A rate over a moment says nothing: it shows after the first second.
    const std::string rate =
        elapsed >= rateAfterSeconds ? rateAndTimeLeft(done, total_, elapsed) : std::string();
    std::fprintf(stderr, "\rframe %llu/%llu  %3.0f%%%s   ", (unsigned long long)done,
                 (unsigned long long)total_, 100.0 * double(done) / double(total_), rate.c_str());
}

void ProgressLine::end() {
    if (printed_)
        std::fputs("\n", stderr);
    printed_ = false;
}

double ProgressLine::seconds() const { return secondsBetween(start_, Clock::now()); }

bool ProgressLine::due() {
    const auto now = Clock::now();
    if (secondsBetween(last_, now) < progressInterval)
        return false;
    last_ = now;
    return true;
}
