#include "render/VecMath.h"

#include <cmath>

Vec3 subtract(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

float length(const Vec3& v) {
    const float sum = v.x * v.x + v.y * v.y + v.z * v.z;
    return std::sqrt(sum);
}

Vec3 normalize(const Vec3& v) {
    const float len = length(v);
    if (len == 0.0f)
        return v;
    const float reciprocal = 1.0f / len;
    return {v.x * reciprocal, v.y * reciprocal, v.z * reciprocal};
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - b.x * a.y};
}

void setIdentity(Mat4& m) {
    for (int i = 0; i < 16; ++i)
        m.m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

Vec4 transform(const Mat4& m, const Vec4& v) {
    auto row = [&](int r) {
        return m.m[4 * r] * v.x + m.m[4 * r + 1] * v.y + m.m[4 * r + 2] * v.z +
               m.m[4 * r + 3] * v.w;
    };
    Vec4 r{row(0), row(1), row(2), row(3)};
    if (r.w != 0.0f) {
        const float reciprocal = 1.0f / r.w;
        r.x *= reciprocal;
        r.y *= reciprocal;
        r.z *= reciprocal;
    }
    r.w = 1.0f;
    return r;
}
