// common.h -- small shared helpers of the scene generator.
//
// Provides: clamp01, lerp, smoothstep, Vec3 and its operations, Rng (a seeded
// 64-bit generator), hash helpers, parallelFor.
// The generator must give byte-identical files for the same seed, so nothing
// here reads the clock or the global C generator, and parallelFor only splits
// work whose items are independent of each other.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

inline float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
inline float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline float lerp(float a, float b, float t) { return a + (b - a) * t; }
inline float smoothstep(float e0, float e1, float x)
{
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
inline uint8_t toByte(float v01)
{
    float v = clamp01(v01) * 255.0f + 0.5f;
    return (uint8_t)(int)v;
}

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
inline Vec3 vec3(float x, float y, float z) { return Vec3{x, y, z}; }
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 mul(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }
inline Vec3 normalize(Vec3 a)
{
    float l = length(a);
    return l > 0.0f ? a * (1.0f / l) : a;
}
inline Vec3 mix(Vec3 a, Vec3 b, float t) { return a + (b - a) * t; }
// A colour written as 0-255 components, kept as floats in 0-1.
inline Vec3 rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

// Mixes a 64-bit value into a well-spread one (splitmix64 finaliser).
inline uint64_t mix64(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}
inline uint32_t hash3(uint32_t a, uint32_t b, uint32_t c)
{
    return (uint32_t)mix64(((uint64_t)a << 32) ^ ((uint64_t)b * 0x9E3779B97F4A7C15ULL) ^ ((uint64_t)c << 7) ^ c);
}

// Seeded generator for everything the scene scatters (droplets, leaves, blades).
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(mix64(seed + 0x9E3779B97F4A7C15ULL)) {}
    uint64_t next()
    {
        state += 0x9E3779B97F4A7C15ULL;
        return mix64(state);
    }
    // Uniform in [0, 1).
    float unit() { return (float)(next() >> 40) * (1.0f / 16777216.0f); }
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }
    int below(int n) { return (int)(next() % (uint64_t)n); }
};

// Runs body(i) for i in [0, count) on up to two threads. Every item must be
// independent of the others so that the result does not depend on timing.
void parallelFor(int count, const std::function<void(int)>& body);
