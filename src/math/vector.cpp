// vector.cpp -- vector operations; see vector.h.
#include "math/vector.h"

#include <cmath>

namespace {
constexpr double piForDegrees = 3.141592654;
}

Cvector3* makeVector(float x, float y, float z) { return new Cvector3{x, y, z}; }

float squareRoot(float value) { return std::sqrt(value); }

float vectorLength(const Cvector3& v) { return squareRoot(v.x * v.x + v.y * v.y + v.z * v.z); }

float vectorDot(const Cvector3& u, const Cvector3& v) { return u.x * v.x + u.y * v.y + u.z * v.z; }

float radiansToDegrees(float radians) { return static_cast<float>(radians * 180.0 / piForDegrees); }

float degreesToRadians(float degrees) { return static_cast<float>(degrees * piForDegrees / 180.0); }

float angleBetween(const Cvector3& u, const Cvector3& v) {
    float d = vectorDot(u, v);
    float lu = vectorLength(u);
    float lv = vectorLength(v);
    float lengths = lv * lu;
    float q = d / lengths;
    // Rounding can push the quotient of parallel vectors just past 1.
    if (q > 1.0f && q < 1.0001f) q = 1.0f;
    if (q < -1.0f && q > -1.0001f) q = -1.0f;
    return radiansToDegrees(static_cast<float>(std::acos(q)));
}

void rotateAboutY(float angle, float& x, float& y, float& z) {
    (void)y;
    double a = angle * piForDegrees / 180.0;
    float c = static_cast<float>(std::cos(a));
    float s = static_cast<float>(std::sin(a));
    float nx = x * c + z * s;
    float nz = -x * s + z * c;
    x = nx;
    z = nz;
}

Cmatrix4 multiplyMatrix(const Cmatrix4& a, const Cmatrix4& b) {
    Cmatrix4 p;
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[4 * k + r] * b.m[4 * c + k];
            p.m[4 * c + r] = sum;
        }
    }
    return p;
}
