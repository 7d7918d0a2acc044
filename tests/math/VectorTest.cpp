// Vector operations and the angle conventions: unsigned angles in degrees,
// rotation about y turning +x towards -z, column-major products.
#include <gtest/gtest.h>

#include "math/vector.h"

namespace {

constexpr float angleTolerance = 1e-4f;     // degrees, single-precision round-off
constexpr float positionTolerance = 1e-6f;  // world units, single-precision round-off

struct AngleCase {
    Cvector3 u;
    Cvector3 v;
    float degrees;
};

TEST(VectorTest, AngleBetweenIsUnsignedDegrees) {
    const AngleCase cases[] = {
        {{1, 0, 0}, {0, 1, 0}, 90.0f},
        {{0, 0, -1}, {0, 0, 5}, 180.0f},
        {{0, 0, -1}, {3, 0, -3}, 45.0f},
        {{0, 0, -1}, {-3, 0, -3}, 45.0f},  // no sign: callers negate it
        {{0.1f, 0.4f, -0.2f}, {0.1f, 0.4f, -0.2f}, 0.0f},  // itself: the quotient rounds past 1
        {{1, 1, 0}, {-1, 0, 0}, 135.0f},
    };
    for (const AngleCase& c : cases) {
        SCOPED_TRACE(c.degrees);
        EXPECT_NEAR(angleBetween(c.u, c.v), c.degrees, angleTolerance);
    }
    EXPECT_FLOAT_EQ(vectorLength({3, 4, 12}), 13.0f);
    EXPECT_FLOAT_EQ(vectorDot({1, 2, 3}, {4, -5, 6}), 12.0f);
    EXPECT_NEAR(radiansToDegrees(3.141592654f), 180.0f, angleTolerance);
}

struct RotationCase {
    float angle;
    Cvector3 in;
    Cvector3 out;
};

TEST(VectorTest, RotateAboutYTurnsPlusXTowardsMinusZ) {
    const RotationCase cases[] = {
        {90, {1, 0, 0}, {0, 0, -1}},
        {90, {0, 5, -1}, {-1, 5, 0}},
        {-90, {1, 0, 0}, {0, 0, 1}},
        {180, {2, 1, 3}, {-2, 1, -3}},
        {0, {1.5f, -2.5f, 7.25f}, {1.5f, -2.5f, 7.25f}},
        {360, {1, 0, 0}, {1, 0, 0}},
    };
    for (const RotationCase& c : cases) {
        SCOPED_TRACE(c.angle);
        float x = c.in.x, y = c.in.y, z = c.in.z;
        rotateAboutY(c.angle, x, y, z);
        EXPECT_NEAR(x, c.out.x, positionTolerance);
        EXPECT_EQ(y, c.out.y);
        EXPECT_NEAR(z, c.out.z, positionTolerance);
    }
}

TEST(VectorTest, MakeVectorAndColumnMajorProduct) {
    Cvector3* v = makeVector(1, 2, 3);
    EXPECT_EQ(v->x, 1.0f);
    EXPECT_EQ(v->y, 2.0f);
    EXPECT_EQ(v->z, 3.0f);
    delete v;

    // A translation by (1, 2, 3) times a uniform scale by 2: the translation
    // column stays at indices 12 to 14, the scale sits on the diagonal.
    Cmatrix4 translate;
    translate.m[12] = 1;
    translate.m[13] = 2;
    translate.m[14] = 3;
    Cmatrix4 scale;
    scale.m[0] = scale.m[5] = scale.m[10] = 2;
    Cmatrix4 p = multiplyMatrix(translate, scale);
    const float expected[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(p.m[i], expected[i]) << "index " << i;
    // The other order scales the translation too.
    Cmatrix4 q = multiplyMatrix(scale, translate);
    EXPECT_EQ(q.m[12], 2.0f);
    EXPECT_EQ(q.m[14], 6.0f);
}

}  // namespace
