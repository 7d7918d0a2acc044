// noise.cpp -- seeded gradient noise (see noise.h).
#include "noise.h"

#include "common.h"

namespace {

// Gradient of one lattice point: one of 16 unit directions chosen by a hash.
inline void latticeGradient(int ix, int iy, uint32_t seed, float& gx, float& gy)
{
    static const float table[16][2] = {
        {1.0f, 0.0f},         {0.9238795f, 0.3826834f},   {0.7071068f, 0.7071068f},   {0.3826834f, 0.9238795f},
        {0.0f, 1.0f},         {-0.3826834f, 0.9238795f},  {-0.7071068f, 0.7071068f},  {-0.9238795f, 0.3826834f},
        {-1.0f, 0.0f},        {-0.9238795f, -0.3826834f}, {-0.7071068f, -0.7071068f}, {-0.3826834f, -0.9238795f},
        {0.0f, -1.0f},        {0.3826834f, -0.9238795f},  {0.7071068f, -0.7071068f},  {0.9238795f, -0.3826834f},
    };
    uint32_t h = hash3((uint32_t)ix, (uint32_t)iy, seed);
    gx = table[h & 15][0];
    gy = table[h & 15][1];
}

inline float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

inline int wrapIndex(int i, int period)
{
    int r = i % period;
    return r < 0 ? r + period : r;
}

float noiseAt(float x, float y, uint32_t seed, int period)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = (int)fx, iy = (int)fy;
    float dx = x - fx, dy = y - fy;
    int x0 = ix, x1 = ix + 1, y0 = iy, y1 = iy + 1;
    if (period > 0) {
        x0 = wrapIndex(x0, period);
        x1 = wrapIndex(x1, period);
        y0 = wrapIndex(y0, period);
        y1 = wrapIndex(y1, period);
    }
    float gx, gy;
    latticeGradient(x0, y0, seed, gx, gy);
    float n00 = gx * dx + gy * dy;
    latticeGradient(x1, y0, seed, gx, gy);
    float n10 = gx * (dx - 1.0f) + gy * dy;
    latticeGradient(x0, y1, seed, gx, gy);
    float n01 = gx * dx + gy * (dy - 1.0f);
    latticeGradient(x1, y1, seed, gx, gy);
    float n11 = gx * (dx - 1.0f) + gy * (dy - 1.0f);
    float u = fade(dx), v = fade(dy);
    float a = n00 + (n10 - n00) * u;
    float b = n01 + (n11 - n01) * u;
    // Gradient noise of unit gradients peaks near 0.7; scale to about [-1, 1].
    return (a + (b - a) * v) * 1.41f;
}

// Each octave gets its own seed and a fixed rotation-free offset so lattice
// points of different octaves never line up.
inline uint32_t octaveSeed(uint32_t seed, int octave) { return hash3(seed, (uint32_t)octave, 0x5bd1e995u); }

} // namespace

float gradientNoise(float x, float y, uint32_t seed) { return noiseAt(x, y, seed, 0); }

float gradientNoiseTiled(float x, float y, uint32_t seed, int period) { return noiseAt(x, y, seed, period); }

float fbm(float x, float y, uint32_t seed, int octaves, float gain)
{
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f, frequency = 1.0f;
    for (int o = 0; o < octaves; o++) {
        sum += amplitude * noiseAt(x * frequency + 0.37f * o, y * frequency + 0.71f * o, octaveSeed(seed, o), 0);
        norm += amplitude;
        amplitude *= gain;
        frequency *= 2.0f;
    }
    return sum / norm * 1.6f;
}

float fbmTiled(float x, float y, uint32_t seed, int period, int octaves, float gain)
{
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f;
    int frequency = 1;
    for (int o = 0; o < octaves; o++) {
        sum += amplitude * noiseAt(x * frequency, y * frequency, octaveSeed(seed, o), period * frequency);
        norm += amplitude;
        amplitude *= gain;
        frequency *= 2;
    }
    return sum / norm * 1.6f;
}

float ridged(float x, float y, uint32_t seed, int octaves)
{
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f, frequency = 1.0f, weight = 1.0f;
    for (int o = 0; o < octaves; o++) {
        float n = 1.0f - std::fabs(noiseAt(x * frequency + 0.53f * o, y * frequency + 0.19f * o, octaveSeed(seed, o), 0));
        n = clamp01(n);
        n *= n;
        float contribution = n * weight;
        weight = clamp01(n * 1.6f);
        sum += contribution * amplitude;
        norm += amplitude;
        amplitude *= 0.5f;
        frequency *= 2.0f;
    }
    return sum / norm;
}
