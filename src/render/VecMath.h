#pragma once
// Small single-precision vector and matrix types of the effects and the 3DS importer.

struct Vec3 {
    float x = 0, y = 0, z = 0;

    Vec3() = default;
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    Vec3& set(float x_, float y_, float z_) {
        x = x_;
        y = y_;
        z = z_;
        return *this;
    }
    Vec3& clear() { return set(0, 0, 0); }
    const float* data() const { return &x; }
};

struct Vec4 {
    float x = 0, y = 0, z = 0, w = 0;
};

struct Vec2 {
    float u = 0, v = 0;
};

// Row-major: element (row r, column c) is at index 4 * r + c.
struct Mat4 {
    float m[16] = {};
};

Vec3 subtract(const Vec3& a, const Vec3& b);
float length(const Vec3& v);
Vec3 normalize(const Vec3& v);
Vec3 cross(const Vec3& a, const Vec3& b);
void setIdentity(Mat4& m);
Vec4 transform(const Mat4& m, const Vec4& v);
