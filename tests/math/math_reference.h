// Reference geometry for the math tests, written the textbook way (row, column) in double
// precision, so that a transposed or reordered formula in the library shows up as a mismatch.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace math_ref {

using Mat = std::array<float, 16>;  // column-major, as GL takes it
using DMat = std::array<double, 16>;

inline double At(const Mat& m, int row, int col) { return m[col * 4 + row]; }
inline double& At(DMat& m, int row, int col) { return m[col * 4 + row]; }

inline Mat ToFloat(const DMat& d) {
    Mat m{};
    for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(d[i]);
    return m;
}

inline DMat Identity() {
    DMat d{};
    for (int i = 0; i < 4; ++i) At(d, i, i) = 1;
    return d;
}

// (a * b)[r][c] = sum over k of a[r][k] * b[k][c].
inline DMat Mul(const Mat& a, const Mat& b) {
    DMat d{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) At(d, r, c) += At(a, r, k) * At(b, k, c);
    return d;
}

inline std::array<double, 4> Apply(const Mat& m, const std::array<double, 4>& v) {
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k) r[row] += At(m, row, k) * v[k];
    return r;
}

inline Mat Translation(float x, float y, float z) {
    DMat d = Identity();
    At(d, 0, 3) = x;
    At(d, 1, 3) = y;
    At(d, 2, 3) = z;
    return ToFloat(d);
}

// Right-handed rotation by angle a (radians) about axis 0 (x), 1 (y) or 2 (z).
inline Mat Rotation(int axis, double a) {
    DMat d = Identity();
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    At(d, i, i) = std::cos(a);
    At(d, j, j) = std::cos(a);
    At(d, j, i) = std::sin(a);
    At(d, i, j) = -std::sin(a);
    return ToFloat(d);
}

// The GL perspective frustum.
inline Mat Frustum(double l, double r, double b, double t, double n, double f) {
    DMat d{};
    At(d, 0, 0) = 2 * n / (r - l);
    At(d, 0, 2) = (r + l) / (r - l);
    At(d, 1, 1) = 2 * n / (t - b);
    At(d, 1, 2) = (t + b) / (t - b);
    At(d, 2, 2) = -(f + n) / (f - n);
    At(d, 2, 3) = -2 * f * n / (f - n);
    At(d, 3, 2) = -1;
    return ToFloat(d);
}

// Random entries in [-1, 1] plus a dominant entry at a random row of every column, so the
// matrix is well conditioned but its largest entries are off the diagonal (pivoting needed).
inline Mat RandomWellConditioned(std::mt19937& rng) {
    std::uniform_real_distribution<float> entry(-1.0f, 1.0f);
    std::array<int, 4> rowOf{0, 1, 2, 3};
    std::shuffle(rowOf.begin(), rowOf.end(), rng);
    Mat m{};
    for (float& e : m) e = entry(rng);
    for (int c = 0; c < 4; ++c) m[c * 4 + rowOf[c]] += (entry(rng) < 0 ? -5.0f : 5.0f);
    return m;
}

inline double MaxAbsDiff(const Mat& a, const DMat& b) {
    double worst = 0;
    for (int i = 0; i < 16; ++i) worst = std::fmax(worst, std::fabs(a[i] - b[i]));
    return worst;
}

}  // namespace math_ref
