// Math: vector, quaternion and matrix operations; projection, unprojection and inversion.
#include "math/Cmath.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace cMath {

// ---- vector4 and Quaterion ----

vector4 vector4::operator*(Matrix4x4 M) const {
    const float* m = M.m;
    return vector4(m[0] * x + m[1] * y + m[2] * z + m[3] * w,
                   m[4] * x + m[5] * y + m[6] * z + m[7] * w,
                   m[8] * x + m[9] * y + m[10] * z + m[11] * w,
                   m[12] * x + m[13] * y + m[14] * z + m[15] * w);
}

vector4& vector4::operator*=(Matrix4x4 M) { return *this = *this * M; }

float vector4::length() const { return std::sqrt(x * x + y * y + z * z + w * w); }

float DotProduct(vector4 a, vector4 b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

// Sine and cosine are taken in double precision and rounded to float.
static float SinF(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
static float CosF(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }

Quaterion::Quaterion(vector4 e) {
    const float hx = e.x / 2, hy = e.y / 2, hz = e.z / 2;
    const float sx = SinF(hx), sy = SinF(hy), sz = SinF(hz);
    const float cx = CosF(hx), cy = CosF(hy), cz = CosF(hz);
    w = cx * cy * cz + sx * sy * sz;
    x = sx * cy * cz - cx * sy * sz;
    y = cx * sy * cz + sx * cy * sz;
    z = cx * cy * sz - sx * sy * cz;
}

Quaterion Quaterion::normalize() const {
    const float k = 1.0f / std::sqrt(x * x + y * y + z * z + w * w);
    return Quaterion(x * k, y * k, z * k, w * k);
}

Matrix4x4 mat4x4_cast(Quaterion q) {
    Matrix4x4 r(1.0f);
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xz = q.x * q.z, xy = q.x * q.y, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    float* m = r.m;
    m[0] = 1 - 2 * (yy + zz);
    m[1] = 2 * (xy + wz);
    m[2] = 2 * (xz - wy);
    m[4] = 2 * (xy - wz);
    m[5] = 1 - 2 * (xx + zz);
    m[6] = 2 * (yz + wx);
    m[8] = 2 * (xz + wy);
    m[9] = 2 * (yz - wx);
    m[10] = 1 - 2 * (xx + yy);
    return r;
}

// ---- Raw column-major arrays ----

void MultiplyMatrices4by4OpenGL_FLOAT(float* result, float* a, float* b) {
    float r[16];
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            r[c * 4 + row] = a[row] * b[c * 4] + a[4 + row] * b[c * 4 + 1] +
                             a[8 + row] * b[c * 4 + 2] + a[12 + row] * b[c * 4 + 3];
    std::memcpy(result, r, sizeof r);
}

void MultiplyMatrixByVector4by4OpenGL_FLOAT(float* result, const float* m, const float* v) {
    float r[4];
    for (int i = 0; i < 4; ++i) r[i] = m[i] * v[0] + m[4 + i] * v[1] + m[8 + i] * v[2] + m[12 + i] * v[3];
    std::memcpy(result, r, sizeof r);
}

int glhProjectf(float objx, float objy, float objz, float* modelview, float* projection,
                int* viewport, float* window) {
    const float obj[4] = {objx, objy, objz, 1.0f};
    float e[4];
    MultiplyMatrixByVector4by4OpenGL_FLOAT(e, modelview, obj);
    const float* p = projection;
    float c[3];
    for (int i = 0; i < 3; ++i) c[i] = p[i] * e[0] + p[4 + i] * e[1] + p[8 + i] * e[2] + p[12 + i] * e[3];
    // Perspective matrices have the last row (0, 0, -1, 0).
    const float w = -e[2];
    if (w == 0.0f) return 0;
    const float k = 1.0f / w;
    const float d0 = c[0] * k, d1 = c[1] * k, d2 = c[2] * k;
    window[0] = (d0 * 0.5f + 0.5f) * static_cast<float>(viewport[2]) + static_cast<float>(viewport[0]);
    window[1] = (d1 * 0.5f + 0.5f) * static_cast<float>(viewport[3]) + static_cast<float>(viewport[1]);
    window[2] = (1.0f + d2) * 0.5f;
    return 1;
}

int glhUnProjectf(float x, float y, float z, float* modelview, float* projection, float* object) {
    float a[16], inv[16];
    MultiplyMatrices4by4OpenGL_FLOAT(a, projection, modelview);
    if (!glhInvertMatrixf2(a, inv)) return 0;
    const float in[4] = {x, y, z, 1.0f};
    float o[4];
    MultiplyMatrixByVector4by4OpenGL_FLOAT(o, inv, in);
    if (o[3] == 0.0f) return 0;
    const float k = 1.0f / o[3];
    object[0] = o[0] * k;
    object[1] = o[1] * k;
    object[2] = o[2] * k;
    return 1;
}

// Subtracts f times src from dst in columns from..7; in the identity half (4..7) only where
// src is non-zero when skipZeros is set.
static void SubtractRow(float* dst, const float* src, float f, int from, bool skipZeros) {
    for (int c = from; c < 8; ++c) {
        if (skipZeros && c >= 4 && src[c] == 0.0f) continue;
        dst[c] -= f * src[c];
    }
}

// dst[4..7] = (dst - src * f) * s on the identity half.
static void BackSubstitute(float* dst, const float* src, float f, float s) {
    for (int c = 4; c < 8; ++c) dst[c] = (dst[c] - src[c] * f) * s;
}

// Swaps the handles when b's entry in column col is strictly larger in magnitude.
static void PivotSwap(float*& a, float*& b, int col) {
    if (std::fabs(b[col]) > std::fabs(a[col])) std::swap(a, b);
}

int glhInvertMatrixf2(float* m, float* out) {
    float wk[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            wk[r][c] = m[c * 4 + r];
            wk[r][4 + c] = (r == c) ? 1.0f : 0.0f;
        }
    float *r0 = wk[0], *r1 = wk[1], *r2 = wk[2], *r3 = wk[3];

    PivotSwap(r2, r3, 0);
    PivotSwap(r1, r2, 0);
    PivotSwap(r0, r1, 0);
    if (r0[0] == 0.0f) return 0;
    const float f1 = r1[0] / r0[0], f2 = r2[0] / r0[0], f3 = r3[0] / r0[0];
    SubtractRow(r1, r0, f1, 1, true);
    SubtractRow(r2, r0, f2, 1, true);
    SubtractRow(r3, r0, f3, 1, true);

    PivotSwap(r2, r3, 1);
    PivotSwap(r1, r2, 1);
    if (r1[1] == 0.0f) return 0;
    const float g2 = r2[1] / r1[1], g3 = r3[1] / r1[1];
    SubtractRow(r2, r1, g2, 2, true);
    SubtractRow(r3, r1, g3, 2, true);

    PivotSwap(r2, r3, 2);
    if (r2[2] == 0.0f) return 0;
    SubtractRow(r3, r2, r3[2] / r2[2], 3, false);

    if (r3[3] == 0.0f) return 0;

    const float s3 = 1.0f / r3[3];
    for (int c = 4; c < 8; ++c) r3[c] *= s3;
    BackSubstitute(r2, r3, r2[3], 1.0f / r2[2]);
    BackSubstitute(r1, r3, r1[3], 1.0f);
    BackSubstitute(r0, r3, r0[3], 1.0f);
    BackSubstitute(r1, r2, r1[2], 1.0f / r1[1]);
    BackSubstitute(r0, r2, r0[2], 1.0f);
    BackSubstitute(r0, r1, r0[1], 1.0f / r0[0]);

    const float* rows[4] = {r0, r1, r2, r3};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) out[c * 4 + r] = rows[r][4 + c];
    return 1;
}

// Signed 3x3 minor of the element at (row, col) of a column-major 4x4 matrix.
static float Cofactor(const float* m, int row, int col) {
    int rs[3], cs[3];
    for (int i = 0, n = 0; i < 4; ++i)
        if (i != row) rs[n++] = i;
    for (int i = 0, n = 0; i < 4; ++i)
        if (i != col) cs[n++] = i;
    auto at = [&](int r, int c) { return m[cs[c] * 4 + rs[r]]; };
    const float det3 = at(0, 0) * (at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1)) -
                       at(0, 1) * (at(1, 0) * at(2, 2) - at(1, 2) * at(2, 0)) +
                       at(0, 2) * (at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0));
    return ((row + col) % 2 == 0) ? det3 : -det3;
}

int gluInvertMatrix(float* m, float* out) {
    // The adjugate in the same storage order: position c*4 + r holds the cofactor of the
    // element at row c, column r.
    float adj[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) adj[c * 4 + r] = Cofactor(m, c, r);
    const float det = m[0] * adj[0] + m[1] * adj[4] + m[2] * adj[8] + m[3] * adj[12];
    if (det == 0.0f) return 0;
    const float k = 1.0f / det;
    for (int i = 0; i < 16; ++i) out[i] = adj[i] * k;
    return 1;
}

}  // namespace cMath
