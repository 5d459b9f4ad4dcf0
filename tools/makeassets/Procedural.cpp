#include "Procedural.h"

#include <algorithm>
#include <cmath>

uint32_t hash32(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B9u;
    for (uint32_t v : {uint32_t(x), uint32_t(y), uint32_t(z)}) {
        h ^= v + 0x7F4A7C15u + (h << 6) + (h >> 2);
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
    }
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

float hashUnit(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    return float(hash32(x, y, z, seed) >> 8) / float(1u << 24);
}

float Sequence::next() {
    state_ = state_ * 1664525u + 1013904223u;
    uint32_t h = state_ ^ (state_ >> 15);
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return float(h >> 8) / float(1u << 24);
}

namespace {

int wrapCell(int cell, int period) {
    if (period <= 0)
        return cell;
    int m = cell % period;
    return m < 0 ? m + period : m;
}

float smooth(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }

// A cheaper hash for the noise lattice, which is looked up four times per sample.
float latticeValue(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return float(h >> 8) / float(1u << 24);
}

} // namespace

float valueNoise(float x, float y, int period, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = smooth(x - fx), ty = smooth(y - fy);
    auto corner = [&](int dx, int dy) {
        return latticeValue(wrapCell(ix + dx, period), wrapCell(iy + dy, period), seed);
    };
    float top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * tx;
    float bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * tx;
    return top + (bottom - top) * ty;
}

float fractalNoise(float u, float v, int cells, int octaves, uint32_t seed) {
    float sum = 0, weight = 0.5f, total = 0;
    for (int o = 0; o < octaves; ++o) {
        int period = cells << o;
        sum += valueNoise(u * period, v * period, period, seed + o * 101) * weight;
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

float ridgedNoise(float u, float v, int cells, int octaves, uint32_t seed) {
    float sum = 0, weight = 0.5f, total = 0;
    for (int o = 0; o < octaves; ++o) {
        int period = cells << o;
        float n = valueNoise(u * period, v * period, period, seed + o * 131);
        float ridge = 1 - std::fabs(n * 2 - 1);
        sum += ridge * ridge * weight;
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

float ellipseDistance(float x, float y, float cx, float cy, float rx, float ry) {
    // Scaled circle distance: exact on the axes, close enough elsewhere for soft edges.
    float nx = (x - cx) / rx, ny = (y - cy) / ry;
    float k = std::hypot(nx, ny);
    return (k - 1) * std::min(rx, ry);
}

float boxDistance(float x, float y, float cx, float cy, float halfW, float halfH,
                  float cornerRadius) {
    float qx = std::fabs(x - cx) - halfW + cornerRadius;
    float qy = std::fabs(y - cy) - halfH + cornerRadius;
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - cornerRadius;
}

float segmentDistance(float x, float y, float ax, float ay, float bx, float by, float halfWidth) {
    float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    float lengthSquared = dx * dx + dy * dy;
    float t = lengthSquared > 0 ? std::clamp((px * dx + py * dy) / lengthSquared, 0.0f, 1.0f) : 0;
    return std::hypot(px - dx * t, py - dy * t) - halfWidth;
}

float coverage(float distance, float feather) {
    if (feather <= 0)
        return distance <= 0 ? 1.0f : 0.0f;
    return std::clamp(0.5f - distance / feather, 0.0f, 1.0f);
}
