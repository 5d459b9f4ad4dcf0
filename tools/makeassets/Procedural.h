#pragma once
// Deterministic noise and shape helpers for the procedural pictures. Nothing here depends on the
// C library's random numbers, so every run paints the same pixels.

#include <cstdint>

// A well-mixed 32-bit hash of up to three integers and a seed.
uint32_t hash32(int32_t x, int32_t y, int32_t z, uint32_t seed);
// The hash as a float in [0, 1).
float hashUnit(int32_t x, int32_t y, int32_t z, uint32_t seed);

// A small deterministic random sequence for placing things.
class Sequence {
public:
    explicit Sequence(uint32_t seed) : state_(seed * 2654435761u + 1) {}
    float next(); // [0, 1)
    float range(float low, float high) { return low + (high - low) * next(); }

private:
    uint32_t state_;
};

// Value noise in [0, 1] with smooth interpolation, repeating every `period` lattice cells in x and
// y (period <= 0: no repetition).
float valueNoise(float x, float y, int period, uint32_t seed);

// Fractal sum of value noise over the unit square: `cells` lattice cells across at the first
// octave, doubling every octave, each octave half as strong. Tiles seamlessly on the unit square.
// Result roughly in [0, 1].
float fractalNoise(float u, float v, int cells, int octaves, uint32_t seed);

// Ridged variant (sharp crests), for mountains and caustics.
float ridgedNoise(float u, float v, int cells, int octaves, uint32_t seed);

// Signed distances (negative inside) in the caller's units.
float ellipseDistance(float x, float y, float cx, float cy, float rx, float ry);
float boxDistance(float x, float y, float cx, float cy, float halfW, float halfH,
                  float cornerRadius = 0);
float segmentDistance(float x, float y, float ax, float ay, float bx, float by, float halfWidth);

// Coverage of a shape of signed distance d with an edge `feather` wide (0 outside, 1 inside).
float coverage(float distance, float feather);

constexpr float pi = 3.14159265358979f;
