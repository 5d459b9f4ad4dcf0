#pragma once
// The one process-wide pseudo-random sequence that every seeded picture depends on. Its arithmetic
// is fixed (a linear congruential generator with 15-bit results) so pictures repeat exactly.

#include <cstdint>

namespace prng {

constexpr int maxValue = 32767;

// Sets the state; the state is 1 at program start.
void seed(uint32_t seed);

// Advances the state and returns a value from 0 to 32767.
int next();

} // namespace prng

// prng::next() / 32767 as a float in [0, 1], both ends included.
float randomUnit();
