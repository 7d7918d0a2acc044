// terrain.h -- the landscape of the scene and everything derived from it.
//
// Provides: Field (a square float grid), buildLandscape (the 1025 master
// terrain with its wetness, vegetation and bare-ground fields),
// describeLandscape (those fields for given heights), resampleField,
// computeLighting, sunDirection, fieldToBytes.
// The landscape is made once at 1025 samples; the 129, 257 and 513 maps are
// the same hills resampled from it, so the terrain algorithms see one scene at
// four resolutions. Every size has one world unit per grid cell and 0.25 world
// units per height step, as the viewer scales its terrain objects.
#pragma once

#include "common.h"

#include <cstdint>
#include <vector>

struct Field {
    int size = 0;
    std::vector<float> v;

    Field() = default;
    explicit Field(int n, float fill = 0.0f) : size(n), v((size_t)n * n, fill) {}
    float& at(int x, int z) { return v[(size_t)z * size + x]; }
    float at(int x, int z) const { return v[(size_t)z * size + x]; }
    // Clamped look-up at integer grid coordinates.
    float clamped(int x, int z) const
    {
        x = x < 0 ? 0 : (x >= size ? size - 1 : x);
        z = z < 0 ? 0 : (z >= size ? size - 1 : z);
        return v[(size_t)z * size + x];
    }
    // Bilinear look-up at grid coordinates, clamped to the grid.
    float bilinear(float x, float z) const;
};

// The master landscape and the fields the textures and maps are made from,
// all at 1025 samples.
struct Landscape {
    Field height;     // height samples, 0-255 (floats before rounding)
    Field wetness;    // 0 dry, 1 where water gathers in valley floors
    Field vegetation; // 0-1: how well plants grow (gentle, middle height, not wet)
    Field density;    // 0-1: plant density, vegetation broken into patches
    Field rock;       // 0-1: steep bare rock
    Field snow;       // 0-1: snow on the highest gentle ground
};

constexpr int masterSize = 1025;
constexpr float worldHeightScale = 0.25f; // world units per height sample

Landscape buildLandscape(uint32_t seed);

// The landscape fields of a given 1025 height field (height steps 0-255, full
// precision): wetness in hollows, plants on gentle ground at middle heights
// broken into patches, rock on steep slopes, snow on the highest gentle
// ground. buildLandscape ends with it; imported terrain starts from it.
Landscape describeLandscape(const Field& heights, uint32_t seed);

// The same map at another size (2^n + 1): each sample is a tent-filtered
// average of the master around the matching point.
Field resampleField(const Field& master, int size);

// Direction towards the sun (unit vector, y up), shared by the lighting and
// the sky so that shadows and the sun glow agree.
Vec3 sunDirection();

// Lighting of a height grid (samples 0-255, one world unit per cell, heights
// multiplied by reliefScale): ambient light from the open sky plus sun light
// from the surface normal, darkened by shadows traced over the grid toward
// the sun. Result in 0-1 per sample (above 1 on faces turned to the sun).
Field computeLighting(const Field& heights, float reliefScale);

// Rounds a field of 0-255 values (or 0-1 values when `unit` is set) to bytes.
std::vector<uint8_t> fieldToBytes(const Field& field, bool unit);
