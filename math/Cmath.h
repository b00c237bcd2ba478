// Math: the value types all geometry rests on (4-component vector, rotation quaternion,
// column-major 4x4 matrix) and the raw-array routines for projection, unprojection and
// matrix inversion. Everything is single-precision and pure; nothing here allocates,
// keeps state, talks to GL or reports errors other than through return values.
#pragma once

#include <cstddef>

namespace cMath {

struct Matrix4x4;

// Point (w = 1), direction or size (w = 0), or a triple of Euler angles.
// All arithmetic works on the four components, w included.
struct vector4 {
    float x, y, z, w;

    vector4() : x(0), y(0), z(0), w(0) {}
    explicit vector4(float x_) : x(x_), y(0), z(0), w(0) {}
    vector4(float x_, float y_) : x(x_), y(y_), z(0), w(0) {}
    // The three-argument form makes a point: w = 1.
    vector4(float x_, float y_, float z_) : x(x_), y(y_), z(z_), w(1.0f) {}
    vector4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    ~vector4() = default;

    // r[i] = sum over j of m[4i + j] * v[j]: the transpose of M applied to v
    // (for a pure rotation, the inverse rotation).
    vector4 operator*(Matrix4x4 M) const;
    vector4& operator*=(Matrix4x4 M);

    vector4 operator+(vector4 u) const { return vector4(x + u.x, y + u.y, z + u.z, w + u.w); }
    vector4& operator+=(vector4 u) { return *this = *this + u; }
    vector4 operator-(vector4 u) const { return vector4(x - u.x, y - u.y, z - u.z, w - u.w); }
    vector4& operator-=(vector4 u) { return *this = *this - u; }
    vector4 operator*(float s) const { return vector4(x * s, y * s, z * s, w * s); }
    vector4& operator*=(float s) { return *this = *this * s; }
    // The reciprocal is taken once in single precision, then multiplied in.
    vector4 operator/(float s) const { return *this * (1.0f / s); }
    vector4& operator/=(float s) { return *this = *this / s; }
    // Subtracts s from all four components, w included.
    vector4 operator-(float s) const { return vector4(x - s, y - s, z - s, w - s); }
    vector4& operator-=(float s) { return *this = *this - s; }
    vector4 operator-() const { return vector4(-x, -y, -z, -w); }

    // Four-component Euclidean length (a point's w = 1 adds 1 under the root).
    float length() const;
};

// Rotation quaternion, vector part x, y, z and scalar part w.
struct Quaterion {
    float x, y, z, w;

    Quaterion(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    // Rotation from Euler angles in radians (e.w ignored): about x first, then y, then z,
    // all about the fixed axes, i.e. the matrix Rz * Ry * Rx.
    explicit Quaterion(vector4 e);
    ~Quaterion() = default;

    // A copy scaled to unit length; this quaternion is left as it is.
    Quaterion normalize() const;
};

// Sixteen floats in GL column-major order: m[c*4 + r] is row r, column c;
// m[12], m[13], m[14] hold the translation. Handed to GL matrix calls as is.
struct Matrix4x4 {
    float m[16];

    Matrix4x4() : Matrix4x4(1.0f) {}
    // s on the four diagonal elements (m[15] included), zero elsewhere.
    explicit Matrix4x4(float s) : m{s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, s} {}
    ~Matrix4x4() = default;
};

static_assert(sizeof(vector4) == 4 * sizeof(float), "vector4 is exactly four floats");
static_assert(sizeof(Quaterion) == 4 * sizeof(float), "Quaterion is exactly four floats");
static_assert(sizeof(Matrix4x4) == 16 * sizeof(float), "Matrix4x4 is exactly sixteen floats");
static_assert(offsetof(vector4, w) == 3 * sizeof(float), "vector4 components in x, y, z, w order");
static_assert(offsetof(Quaterion, w) == 3 * sizeof(float), "Quaterion scalar part last");

// Rotation matrix of q (q is not normalised first).
Matrix4x4 mat4x4_cast(Quaterion q);
// Four-component dot product, w included.
float DotProduct(vector4 a, vector4 b);

// The routines below take raw column-major arrays of 16 floats (a Matrix4x4's m works).
// Output arrays are written only on success.

// result = a * b.
void MultiplyMatrices4by4OpenGL_FLOAT(float* result, float* a, float* b);
// result (4 floats) = m * v.
void MultiplyMatrixByVector4by4OpenGL_FLOAT(float* result, const float* m, const float* v);

// Object point to window coordinates (x, y in viewport pixels, depth 0..1). The clip w is
// taken as the negated eye-space z. Returns 0 when the point lies in the eye plane.
int glhProjectf(float objx, float objy, float objz, float* modelview, float* projection,
                int* viewport, float* window);
// Normalised device coordinates (not clamped) back to object space through the inverse of
// projection * modelview. Returns 0 when that product is singular or the point is at infinity.
int glhUnProjectf(float x, float y, float z, float* modelview, float* projection, float* object);

// Inversion by Gauss-Jordan elimination with partial pivoting. Returns 0 if singular
// (a pivot exactly 0; there is no tolerance).
int glhInvertMatrixf2(float* m, float* out);
// Inversion by cofactors. Returns 0 if the determinant is exactly 0.
int gluInvertMatrix(float* m, float* out);

}  // namespace cMath
