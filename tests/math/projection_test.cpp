// Raw column-major routines: products, the two inversions, projection and unprojection.
#include "math/Cmath.h"
#include "tests/math/math_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using math_ref::Mat;

namespace {

constexpr float kSentinel = 42.0f;

Mat Sentinels() {
    Mat m;
    m.fill(kSentinel);
    return m;
}

void ExpectUntouched(const float* out, int n) {
    for (int i = 0; i < n; ++i) EXPECT_EQ(out[i], kSentinel) << i;
}

// Builds a column-major matrix from its rows as written on paper.
Mat FromRows(std::initializer_list<float> rows) {
    Mat m{};
    int i = 0;
    for (float v : rows) {
        m[(i % 4) * 4 + i / 4] = v;
        ++i;
    }
    return m;
}

Mat Product(Mat a, Mat b) {
    Mat r;
    cMath::MultiplyMatrices4by4OpenGL_FLOAT(r.data(), a.data(), b.data());
    return r;
}

// ---- Products ----

TEST(MatrixProduct, MatchesTheRowByColumnProduct) {
    std::mt19937 rng(7);
    for (int n = 0; n < 20; ++n) {
        const Mat a = math_ref::RandomWellConditioned(rng), b = math_ref::RandomWellConditioned(rng);
        EXPECT_LT(math_ref::MaxAbsDiff(Product(a, b), math_ref::Mul(a, b)), 1e-5);
    }
}

TEST(MatrixProduct, TranslateAfterScaleKeepsTheOrderOfFactors) {
    const Mat scale = math_ref::ToFloat([] {
        auto d = math_ref::Identity();
        d[0] = d[5] = d[10] = 2;
        return d;
    }());
    const Mat ts = Product(math_ref::Translation(1, 2, 3), scale);
    const Mat st = Product(scale, math_ref::Translation(1, 2, 3));
    EXPECT_EQ(ts[12], 1);
    EXPECT_EQ(ts[13], 2);
    EXPECT_EQ(ts[14], 3);
    EXPECT_EQ(st[12], 2);
    EXPECT_EQ(st[13], 4);
    EXPECT_EQ(st[14], 6);
    EXPECT_EQ(ts[0], 2);
    EXPECT_EQ(ts[15], 1);
}

TEST(MatrixProduct, MatrixTimesVectorReadsColumnMajor) {
    const Mat t = math_ref::Translation(5, -6, 7);
    const float point[4] = {1, 2, 3, 1};
    float r[4];
    cMath::MultiplyMatrixByVector4by4OpenGL_FLOAT(r, t.data(), point);
    EXPECT_EQ(r[0], 6);
    EXPECT_EQ(r[1], -4);
    EXPECT_EQ(r[2], 10);
    EXPECT_EQ(r[3], 1);

    std::mt19937 rng(8);
    const Mat m = math_ref::RandomWellConditioned(rng);
    const float v[4] = {0.5f, -2, 3, 1.5f};
    cMath::MultiplyMatrixByVector4by4OpenGL_FLOAT(r, m.data(), v);
    const auto ref = math_ref::Apply(m, {0.5, -2, 3, 1.5});
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(r[i], ref[i], 1e-5) << i;
}

// ---- Inversion ----

using InvertFn = int (*)(float*, float*);
struct Inverter {
    const char* name;
    InvertFn fn;
};
const Inverter kInverters[] = {{"elimination", cMath::glhInvertMatrixf2}, {"cofactors", cMath::gluInvertMatrix}};

TEST(MatrixInverse, IdentityInvertsToItself) {
    for (const Inverter& inv : kInverters) {
        Mat id = math_ref::ToFloat(math_ref::Identity()), out = Sentinels();
        ASSERT_EQ(inv.fn(id.data(), out.data()), 1) << inv.name;
        EXPECT_EQ(out, id) << inv.name;
    }
}

TEST(MatrixInverse, BothMethodsInvertRandomWellConditionedMatricesAlike) {
    std::mt19937 rng(2024);
    for (int n = 0; n < 300; ++n) {
        Mat m = math_ref::RandomWellConditioned(rng), byElimination, byCofactors;
        ASSERT_EQ(cMath::glhInvertMatrixf2(m.data(), byElimination.data()), 1);
        ASSERT_EQ(cMath::gluInvertMatrix(m.data(), byCofactors.data()), 1);
        EXPECT_LT(math_ref::MaxAbsDiff(math_ref::ToFloat(math_ref::Identity()), math_ref::Mul(m, byElimination)), 1e-5)
            << "elimination, matrix " << n;
        EXPECT_LT(math_ref::MaxAbsDiff(math_ref::ToFloat(math_ref::Identity()), math_ref::Mul(byCofactors, m)), 1e-5)
            << "cofactors, matrix " << n;
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(byElimination[i], byCofactors[i], 1e-6) << n << ":" << i;
    }
}

TEST(MatrixInverse, PermutationsInvertToTheirTransposeThroughPivoting) {
    int order[4] = {0, 1, 2, 3};
    do {
        Mat p{};
        for (int c = 0; c < 4; ++c) p[c * 4 + order[c]] = 1;
        for (const Inverter& inv : kInverters) {
            Mat out = Sentinels();
            ASSERT_EQ(inv.fn(p.data(), out.data()), 1) << inv.name;
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) EXPECT_EQ(out[c * 4 + r], p[r * 4 + c]) << inv.name;
        }
    } while (std::next_permutation(order, order + 4));
}

TEST(MatrixInverse, ExactlySingularMatricesFailAndLeaveTheOutputUntouched) {
    const std::vector<Mat> singular = {
        FromRows({0, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 1, 0, 1}),    // first column zero
        FromRows({4, 8, 0, 1, 2, 4, 1, 0, 1, 2, 1, 1, 0, 0, 1, 3}),    // column 1 = 2 * column 0
        FromRows({1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1}),    // two equal rows
        FromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1}),    // last pivot vanishes
        FromRows({2, 1, 0, 3, 4, 2, 1, 6, 1, 0, 2, 1, 8, 4, 1, 12}),   // column 3 = column 0 + column 1
    };
    for (size_t n = 0; n < singular.size(); ++n)
        for (const Inverter& inv : kInverters) {
            Mat m = singular[n], out = Sentinels();
            EXPECT_EQ(inv.fn(m.data(), out.data()), 0) << inv.name << " matrix " << n;
            ExpectUntouched(out.data(), 16);
        }
}

TEST(MatrixInverse, NearlySingularMatricesAreStillInverted) {
    // No tolerance: a tiny pivot or determinant is inverted as it is.
    Mat m = FromRows({1e-20f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    for (const Inverter& inv : kInverters) {
        Mat out = Sentinels();
        ASSERT_EQ(inv.fn(m.data(), out.data()), 1) << inv.name;
        EXPECT_FLOAT_EQ(out[0], 1e20f) << inv.name;
        EXPECT_EQ(out[5], 1) << inv.name;
    }
}

// ---- Projection and unprojection ----

const Mat kFrustum = math_ref::Frustum(-0.8, 1.2, -0.6, 0.5, 0.5, 20);

Mat Camera() {
    // Camera turned and moved away from the origin: rotation followed by translation.
    const cMath::Matrix4x4 turn = cMath::mat4x4_cast(cMath::Quaterion(cMath::vector4(0.4f, -0.7f, 0.2f)));
    Mat r;
    for (int i = 0; i < 16; ++i) r[i] = turn.m[i];
    return Product(math_ref::Translation(0.3f, -0.2f, -6.0f), r);
}

TEST(Projection, MapsTheNearPlaneOntoTheViewportAtDepthZero) {
    Mat mv = math_ref::ToFloat(math_ref::Identity());
    Mat proj = math_ref::Frustum(-1, 1, -1, 1, 1, 10);
    int viewport[4] = {10, 20, 200, 100};
    float w[3];
    ASSERT_EQ(cMath::glhProjectf(0, 0, -1, mv.data(), proj.data(), viewport, w), 1);
    EXPECT_FLOAT_EQ(w[0], 110);
    EXPECT_FLOAT_EQ(w[1], 70);
    EXPECT_NEAR(w[2], 0, 1e-6);
    ASSERT_EQ(cMath::glhProjectf(-1, 0.5f, -1, mv.data(), proj.data(), viewport, w), 1);
    EXPECT_FLOAT_EQ(w[0], 10);
    EXPECT_FLOAT_EQ(w[1], 95);
    ASSERT_EQ(cMath::glhProjectf(0, 0, -10, mv.data(), proj.data(), viewport, w), 1);
    EXPECT_NEAR(w[2], 1, 1e-6);
}

TEST(Projection, TakesClipWFromTheNegatedEyeDepth) {
    // The projection's last row is ignored: w = -z_eye even for the identity.
    Mat id = math_ref::ToFloat(math_ref::Identity());
    int viewport[4] = {0, 0, 100, 100};
    float w[3];
    ASSERT_EQ(cMath::glhProjectf(1, 2, -4, id.data(), id.data(), viewport, w), 1);
    EXPECT_FLOAT_EQ(w[0], 62.5f);
    EXPECT_FLOAT_EQ(w[1], 75.0f);
    EXPECT_FLOAT_EQ(w[2], 0.0f);
}

TEST(Projection, PointInTheEyePlaneFailsAndLeavesWindowUntouched) {
    Mat mv = math_ref::Translation(0, 0, -5), proj = kFrustum;
    int viewport[4] = {0, 0, 1024, 768};
    float w[3] = {kSentinel, kSentinel, kSentinel};
    EXPECT_EQ(cMath::glhProjectf(1, 1, 5, mv.data(), proj.data(), viewport, w), 0);
    ExpectUntouched(w, 3);
}

TEST(Projection, MatchesTheReferencePipelineAndUnprojectsBack) {
    Mat mv = Camera(), proj = kFrustum;
    const Mat clipFromObject = math_ref::ToFloat(math_ref::Mul(proj, mv));
    int viewport[4] = {16, 8, 1016, 736};
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> unit(-1, 1), depth(0.6f, 19.0f);
    int checked = 0;
    for (int n = 0; n < 200; ++n) {
        const float p[3] = {unit(rng) * 3, unit(rng) * 3, unit(rng) * 3};
        const auto clip = math_ref::Apply(clipFromObject, {p[0], p[1], p[2], 1});
        if (clip[3] < 0.6 || std::fabs(clip[0]) > clip[3] || std::fabs(clip[1]) > clip[3]) continue;  // outside
        ++checked;
        float win[3];
        ASSERT_EQ(cMath::glhProjectf(p[0], p[1], p[2], mv.data(), proj.data(), viewport, win), 1);
        EXPECT_NEAR(win[0], (clip[0] / clip[3] * 0.5 + 0.5) * viewport[2] + viewport[0], 2e-3);
        EXPECT_NEAR(win[1], (clip[1] / clip[3] * 0.5 + 0.5) * viewport[3] + viewport[1], 2e-3);
        EXPECT_NEAR(win[2], (clip[2] / clip[3] + 1) * 0.5, 1e-5);

        const float ndcX = (win[0] - viewport[0]) / viewport[2] * 2 - 1;
        const float ndcY = (win[1] - viewport[1]) / viewport[3] * 2 - 1;
        float back[3] = {kSentinel, kSentinel, kSentinel};
        ASSERT_EQ(cMath::glhUnProjectf(ndcX, ndcY, 2 * win[2] - 1, mv.data(), proj.data(), back), 1);
        const double tolerance = 2e-4 * clip[3] * clip[3] + 1e-4;  // depth precision falls with distance
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], p[i], tolerance) << "point " << n << " axis " << i;
    }
    EXPECT_GT(checked, 40);
}

TEST(Unprojection, IdentityMatricesReturnTheCoordinatesThemselves) {
    Mat id = math_ref::ToFloat(math_ref::Identity());
    float o[3];
    ASSERT_EQ(cMath::glhUnProjectf(0.3f, -0.2f, 0.5f, id.data(), id.data(), o), 1);
    EXPECT_FLOAT_EQ(o[0], 0.3f);
    EXPECT_FLOAT_EQ(o[1], -0.2f);
    EXPECT_FLOAT_EQ(o[2], 0.5f);
}

TEST(Unprojection, UnclampedCentrePointsLieOnTheLineOfSightThroughTheEye) {
    Mat mv = Camera(), proj = kFrustum;
    // Depth along the line of sight for a normalised depth z: z_eye = b / (z - a); the off-centre
    // frustum tilts that line, x_eye = -z_eye * P[0][2] / P[0][0] (likewise y).
    const double a = -math_ref::At(proj, 2, 2), b = -math_ref::At(proj, 2, 3);
    const double slopeX = -math_ref::At(proj, 0, 2) / math_ref::At(proj, 0, 0);
    const double slopeY = -math_ref::At(proj, 1, 2) / math_ref::At(proj, 1, 1);
    for (float z : {0.0f, 1.0f, 100.0f}) {
        float p[3];
        ASSERT_EQ(cMath::glhUnProjectf(0, 0, z, mv.data(), proj.data(), p), 1);
        const auto inEye = math_ref::Apply(mv, {p[0], p[1], p[2], 1});
        const double zEye = b / (z - a);
        EXPECT_NEAR(inEye[2], zEye, 1e-4 * (1 + zEye * zEye)) << z;
        EXPECT_NEAR(inEye[0], slopeX * inEye[2], 3e-5) << z;
        EXPECT_NEAR(inEye[1], slopeY * inEye[2], 3e-5) << z;
    }
}

TEST(Unprojection, SingularProductFailsAndLeavesObjectUntouched) {
    Mat mv = math_ref::ToFloat(math_ref::Identity());
    Mat flat = FromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0});  // drops z
    float o[3] = {kSentinel, kSentinel, kSentinel};
    EXPECT_EQ(cMath::glhUnProjectf(0.1f, 0.2f, 0.3f, mv.data(), flat.data(), o), 0);
    ExpectUntouched(o, 3);
}

TEST(Unprojection, PointAtInfinityFailsAndLeavesObjectUntouched) {
    // The inverse of this projection gives w = z + 1, which vanishes at z = -1.
    Mat mv = math_ref::ToFloat(math_ref::Identity());
    Mat proj = FromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -1, 1});
    float o[3] = {kSentinel, kSentinel, kSentinel};
    EXPECT_EQ(cMath::glhUnProjectf(0.5f, 0.5f, -1, mv.data(), proj.data(), o), 0);
    ExpectUntouched(o, 3);
    ASSERT_EQ(cMath::glhUnProjectf(0.5f, 0.5f, 1, mv.data(), proj.data(), o), 1);
    EXPECT_FLOAT_EQ(o[0], 0.25f);
    EXPECT_FLOAT_EQ(o[1], 0.25f);
    EXPECT_FLOAT_EQ(o[2], 0.5f);
}

}  // namespace
