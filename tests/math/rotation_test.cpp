// Quaterion and Matrix4x4: Euler angles to quaternion, quaternion to rotation matrix.
#include "math/Cmath.h"
#include "tests/math/math_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using cMath::Matrix4x4;
using cMath::Quaterion;
using cMath::vector4;

namespace {

struct Q {
    double x, y, z, w;
};

// Hamilton product a * b (scalar part last).
Q Mul(Q a, Q b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Q AxisTurn(int axis, double angle) {
    Q q{0, 0, 0, std::cos(angle / 2)};
    (axis == 0 ? q.x : axis == 1 ? q.y : q.z) = std::sin(angle / 2);
    return q;
}

math_ref::Mat Of(const Matrix4x4& m) {
    math_ref::Mat a;
    for (int i = 0; i < 16; ++i) a[i] = m.m[i];
    return a;
}

std::vector<vector4> RandomAngles(int count) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> angle(-3.3f, 3.3f);
    std::vector<vector4> out;
    for (int i = 0; i < count; ++i) out.emplace_back(angle(rng), angle(rng), angle(rng), angle(rng));
    return out;
}

TEST(Quaterion, ZeroAnglesGiveTheIdentityRotation) {
    const Quaterion q(vector4(0, 0, 0));
    EXPECT_EQ(q.x, 0);
    EXPECT_EQ(q.y, 0);
    EXPECT_EQ(q.z, 0);
    EXPECT_EQ(q.w, 1);
    const Matrix4x4 m = cMath::mat4x4_cast(q);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m.m[i], Matrix4x4().m[i]) << i;
}

TEST(Quaterion, QuarterTurnAboutZTakesXOntoY) {
    const Quaterion q(vector4(0, 0, 1.5707963f));
    EXPECT_NEAR(q.x, 0, 1e-7);
    EXPECT_NEAR(q.y, 0, 1e-7);
    EXPECT_NEAR(q.z, std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(q.w, std::sqrt(0.5), 1e-7);
    const Matrix4x4 m = cMath::mat4x4_cast(q);
    EXPECT_NEAR(m.m[0], 0, 1e-6);
    EXPECT_NEAR(m.m[1], 1, 1e-6);
    EXPECT_NEAR(m.m[4], -1, 1e-6);
    EXPECT_NEAR(m.m[5], 0, 1e-6);
}

TEST(Quaterion, EulerAnglesComposeAsZTimesYTimesX) {
    for (const vector4& e : RandomAngles(50)) {
        const Quaterion q(e);
        Q ref = Mul(Mul(AxisTurn(2, e.z), AxisTurn(1, e.y)), AxisTurn(0, e.x));
        EXPECT_NEAR(q.x, ref.x, 1e-6);
        EXPECT_NEAR(q.y, ref.y, 1e-6);
        EXPECT_NEAR(q.z, ref.z, 1e-6);
        EXPECT_NEAR(q.w, ref.w, 1e-6);

        // The same rotation as a matrix: Rz * Ry * Rx, x acting first.
        const math_ref::Mat zy = math_ref::ToFloat(math_ref::Mul(math_ref::Rotation(2, e.z), math_ref::Rotation(1, e.y)));
        const math_ref::DMat zyx = math_ref::Mul(zy, math_ref::Rotation(0, e.x));
        EXPECT_LT(math_ref::MaxAbsDiff(Of(cMath::mat4x4_cast(q)), zyx), 2e-6);
    }
}

TEST(Quaterion, EulerConstructorIgnoresW) {
    const Quaterion a(vector4(0.3f, -1.1f, 2.0f, 0.0f)), b(vector4(0.3f, -1.1f, 2.0f, 9.0f));
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
    EXPECT_EQ(a.w, b.w);
}

TEST(Quaterion, MatrixRotatesVectorsLikeTheQuaternion) {
    // For unit q the matrix must map v to q v q* (read column-major, applied on the left).
    for (const vector4& r : RandomAngles(50)) {
        const Quaterion q = Quaterion(r.x, r.y, r.z, r.w).normalize();
        const Matrix4x4 m = cMath::mat4x4_cast(q);
        const Q qd{q.x, q.y, q.z, q.w}, conj{-q.x, -q.y, -q.z, q.w};
        const double v[3] = {0.7, -1.3, 2.1};
        const Q turned = Mul(Mul(qd, Q{v[0], v[1], v[2], 0}), conj);
        const auto got = math_ref::Apply(Of(m), {v[0], v[1], v[2], 1});
        EXPECT_NEAR(got[0], turned.x, 1e-5);
        EXPECT_NEAR(got[1], turned.y, 1e-5);
        EXPECT_NEAR(got[2], turned.z, 1e-5);
        EXPECT_NEAR(got[3], 1, 1e-7);
        for (int i : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(m.m[i], 0) << i;
        EXPECT_EQ(m.m[15], 1);
    }
}

TEST(Quaterion, MatrixCastDoesNotNormalise) {
    const Matrix4x4 m = cMath::mat4x4_cast(Quaterion(1, 0, 0, 1));  // |q|^2 = 2
    EXPECT_EQ(m.m[0], 1);
    EXPECT_EQ(m.m[5], -1);
    EXPECT_EQ(m.m[6], 2);
    EXPECT_EQ(m.m[9], -2);
    EXPECT_EQ(m.m[10], -1);
}

TEST(Quaterion, NormalizeReturnsAUnitCopyAndLeavesTheOriginal) {
    const Quaterion q(1, 2, 2, 4);
    const Quaterion n = q.normalize();
    EXPECT_FLOAT_EQ(n.x, 0.2f);
    EXPECT_FLOAT_EQ(n.y, 0.4f);
    EXPECT_FLOAT_EQ(n.z, 0.4f);
    EXPECT_FLOAT_EQ(n.w, 0.8f);
    EXPECT_EQ(q.x, 1);
    EXPECT_EQ(q.w, 4);
    const Quaterion zero = Quaterion(0, 0, 0, 0).normalize();
    EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.w));
}

TEST(Matrix4x4, DefaultIsIdentityAndScalarFillsTheWholeDiagonal) {
    const Matrix4x4 id, two(2.0f);
    for (int i = 0; i < 16; ++i) {
        const bool diagonal = i % 5 == 0;
        EXPECT_EQ(id.m[i], diagonal ? 1.0f : 0.0f) << i;
        EXPECT_EQ(two.m[i], diagonal ? 2.0f : 0.0f) << i;
    }
}

}  // namespace
