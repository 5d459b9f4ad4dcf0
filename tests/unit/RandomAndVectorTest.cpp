#include "render/Random.h"
#include "render/VecMath.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Random, KnownSequenceAtStartAndAfterSeedOne) {
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected)
        EXPECT_EQ(prng::next(), value);
    prng::seed(1);
    for (int value : expected)
        EXPECT_EQ(prng::next(), value);
}

TEST(Random, SeedsRepeatAndUnitStaysInRange) {
    prng::seed(12345);
    const int first = prng::next();
    const int second = prng::next();
    prng::seed(12345);
    EXPECT_EQ(prng::next(), first);
    EXPECT_EQ(prng::next(), second);
    for (int i = 0; i < 100000; ++i) {
        const float unit = randomUnit();
        ASSERT_GE(unit, 0.0f);
        ASSERT_LE(unit, 1.0f);
    }
}

TEST(Random, UnitIsOneExactlyAtTheLargestValue) {
    // Find a seed whose next value is 32767 and check the unit value it gives.
    for (uint32_t seed = 0;; ++seed) {
        prng::seed(seed);
        if (prng::next() == prng::maxValue) {
            prng::seed(seed);
            EXPECT_EQ(randomUnit(), 1.0f);
            break;
        }
    }
}

TEST(VectorMath, NormalizeCrossAndLength) {
    const Vec3 zero = normalize(Vec3(0, 0, 0));
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    const Vec3 unit = normalize(Vec3(3, 0, 4));
    EXPECT_FLOAT_EQ(unit.x, 0.6f);
    EXPECT_FLOAT_EQ(unit.z, 0.8f);
    const Vec3 z = cross(Vec3(1, 0, 0), Vec3(0, 1, 0));
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    const Vec3 d = subtract(Vec3(5, 7, 9), Vec3(1, 2, 3));
    EXPECT_FLOAT_EQ(length(d), std::sqrt(16.0f + 25.0f + 36.0f));
    Vec3 v(1, 2, 3);
    EXPECT_EQ(&v.set(4, 5, 6), &v);
    EXPECT_EQ(v.clear().x, 0.0f);
}

TEST(VectorMath, TransformDividesByW) {
    Mat4 m;
    setIdentity(m);
    Vec4 r = transform(m, {2, 3, 4, 1});
    EXPECT_EQ(r.x, 2.0f);
    EXPECT_EQ(r.y, 3.0f);
    EXPECT_EQ(r.z, 4.0f);
    EXPECT_EQ(r.w, 1.0f);
    m.m[15] = 2.0f; // row 3 yields w = 2
    r = transform(m, {2, 4, 6, 1});
    EXPECT_FLOAT_EQ(r.x, 1.0f);
    EXPECT_FLOAT_EQ(r.y, 2.0f);
    EXPECT_FLOAT_EQ(r.z, 3.0f);
    EXPECT_EQ(r.w, 1.0f);
    for (int i = 12; i < 16; ++i)
        m.m[i] = 0.0f; // row 3 of zeros: no division
    r = transform(m, {2, 4, 6, 1});
    EXPECT_EQ(r.x, 2.0f);
    EXPECT_EQ(r.z, 6.0f);
    EXPECT_EQ(r.w, 1.0f);
}
