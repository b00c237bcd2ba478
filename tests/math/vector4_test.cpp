// vector4: constructors, four-component arithmetic and the vector-times-matrix operator.
#include "math/Cmath.h"
#include "tests/math/math_reference.h"

#include <gtest/gtest.h>

#include <cmath>

using cMath::Matrix4x4;
using cMath::vector4;

namespace {

void ExpectVec(const vector4& v, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.w, w);
}

TEST(Vector4, ConstructorsFillMissingComponentsAndThreeArgumentsMakeAPoint) {
    ExpectVec(vector4(), 0, 0, 0, 0);
    ExpectVec(vector4(7), 7, 0, 0, 0);
    ExpectVec(vector4(1, 2), 1, 2, 0, 0);
    ExpectVec(vector4(1, 2, 3), 1, 2, 3, 1);
    ExpectVec(vector4(1, 2, 3, 4), 1, 2, 3, 4);
}

TEST(Vector4, LengthAndDotProductCountW) {
    EXPECT_FLOAT_EQ(vector4(3, 4, 0, 0).length(), 5.0f);
    EXPECT_FLOAT_EQ(vector4(3, 4, 0).length(), std::sqrt(26.0f));
    EXPECT_FLOAT_EQ(vector4(0, 0, 0, 2).length(), 2.0f);
    EXPECT_FLOAT_EQ(cMath::DotProduct(vector4(1, 0, 0), vector4(1, 0, 0)), 2.0f);
    EXPECT_FLOAT_EQ(cMath::DotProduct(vector4(1, 2, 3, 4), vector4(5, -6, 7, 8)), 5 - 12 + 21 + 32);
}

TEST(Vector4, ArithmeticWorksOnAllFourComponents) {
    const vector4 v(1, 2, 3, 4), u(10, 20, 30, 40);
    ExpectVec(v + u, 11, 22, 33, 44);
    ExpectVec(v - u, -9, -18, -27, -36);
    ExpectVec(v * 2.0f, 2, 4, 6, 8);
    ExpectVec(v / 2.0f, 0.5f, 1, 1.5f, 2);
    ExpectVec(v - 1.0f, 0, 1, 2, 3);
    ExpectVec(-v, -1, -2, -3, -4);
    ExpectVec(v, 1, 2, 3, 4);  // operands unchanged
}

TEST(Vector4, CompoundAssignmentsStoreIntoTheLeftOperandAndReturnIt) {
    const vector4 b(1, 2, 3, 4);
    vector4 a(10, 10, 10, 10);
    EXPECT_EQ(&(a += b), &a);
    ExpectVec(a, 11, 12, 13, 14);
    EXPECT_EQ(&(a -= b), &a);
    ExpectVec(a, 10, 10, 10, 10);
    EXPECT_EQ(&(a *= 3.0f), &a);
    ExpectVec(a, 30, 30, 30, 30);
    EXPECT_EQ(&(a /= 2.0f), &a);
    ExpectVec(a, 15, 15, 15, 15);
    EXPECT_EQ(&(a -= 5.0f), &a);
    ExpectVec(a, 10, 10, 10, 10);
    Matrix4x4 twice(2.0f);
    EXPECT_EQ(&(a *= twice), &a);
    ExpectVec(a, 20, 20, 20, 20);
}

TEST(Vector4, DivisionMultipliesByTheSinglePrecisionReciprocal) {
    volatile float five = 5.0f, three = 3.0f;
    const float quotient = five / three, byReciprocal = five * (1.0f / three);
    ASSERT_NE(quotient, byReciprocal);  // the two roundings differ for 5/3
    EXPECT_EQ((vector4(five, 0, 0, 0) / three).x, byReciprocal);
    vector4 v(five, 0, 0, 0);
    v /= three;
    EXPECT_EQ(v.x, byReciprocal);
}

TEST(Vector4, DivisionByZeroIsNotGuarded) {
    const vector4 r = vector4(1, -1, 0, 0) / 0.0f;
    EXPECT_TRUE(std::isinf(r.x) && r.x > 0);
    EXPECT_TRUE(std::isinf(r.y) && r.y < 0);
    EXPECT_TRUE(std::isnan(r.z));
}

TEST(Vector4, TimesMatrixAppliesTheTransposedMatrix) {
    Matrix4x4 M;
    for (int i = 0; i < 16; ++i) M.m[i] = static_cast<float>(i * i % 7) - 2.5f * i;
    const vector4 v(1, -2, 3, -4);
    const vector4 r = v * M;
    math_ref::Mat t;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) t[col * 4 + row] = M.m[row * 4 + col];
    const auto expected = math_ref::Apply(t, {1, -2, 3, -4});
    ExpectVec(r, expected[0], expected[1], expected[2], expected[3]);
}

TEST(Vector4, TimesRotationMatrixTurnsTheInverseWay) {
    // The quarter turn about z takes x onto y; the operator applies its inverse.
    const Matrix4x4 quarterTurn = cMath::mat4x4_cast(cMath::Quaterion(vector4(0, 0, 1.5707963f)));
    const vector4 r = vector4(1, 0, 0, 0) * quarterTurn;
    EXPECT_NEAR(r.x, 0, 1e-6);
    EXPECT_NEAR(r.y, -1, 1e-6);
    EXPECT_NEAR(r.z, 0, 1e-6);
    EXPECT_NEAR(r.w, 0, 1e-6);
}

}  // namespace
