#include "render/Random.h"

namespace prng {
namespace {
uint32_t state = 1;
}

void seed(uint32_t value) { state = value; }

int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

} // namespace prng

float randomUnit() { return static_cast<float>(prng::next() / 32767.0); }
