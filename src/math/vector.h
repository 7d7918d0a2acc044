// vector.h -- vector and matrix types and the angle conventions.
//
// Provides: Cvector3, Cmatrix4, makeVector, vectorLength, vectorDot,
// angleBetween, radiansToDegrees, degreesToRadians, rotateAboutY,
// squareRoot, multiplyMatrix.
// World conventions: right-handed, y up; terrain columns along x and rows
// along z; with both camera angles 0 the eye looks along -z. Every angle is
// stored, passed and scripted in degrees; radians exist only inside
// trigonometric calls. Matrices are column-major: row r, column c at 4c + r.
#pragma once

struct Cvector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Cmatrix4 {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

// Allocates a vector on the heap; the caller owns it.
Cvector3* makeVector(float x, float y, float z);

float vectorLength(const Cvector3& v);
float vectorDot(const Cvector3& u, const Cvector3& v);

// Unsigned angle between u and v in degrees (0 to 180). Callers that need a
// signed turn negate it themselves. A zero-length vector gives NaN.
float angleBetween(const Cvector3& u, const Cvector3& v);

float radiansToDegrees(float radians);
float degreesToRadians(float degrees);

// Turns (x, y, z) about the vertical axis through the origin; a positive
// angle turns +x towards -z.
void rotateAboutY(float angle, float& x, float& y, float& z);

float squareRoot(float value);

// product = a * b in the column-major layout.
Cmatrix4 multiplyMatrix(const Cmatrix4& a, const Cmatrix4& b);
