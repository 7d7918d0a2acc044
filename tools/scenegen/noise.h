// noise.h -- seeded gradient noise for the scene generator.
//
// Provides: gradientNoise, fbm, ridged, and the tiling variants fbmTiled and
// gradientNoiseTiled used by textures that repeat across the terrain.
// All functions are pure: the same coordinates and seed give the same value.
#pragma once

#include <cstdint>

// Gradient noise on the unit lattice, roughly in [-1, 1].
float gradientNoise(float x, float y, uint32_t seed);
// The same noise repeating every `period` lattice cells on both axes.
float gradientNoiseTiled(float x, float y, uint32_t seed, int period);

// Fractal sum of `octaves` noise layers, each twice the frequency and `gain`
// times the amplitude of the one before; normalised to roughly [-1, 1].
float fbm(float x, float y, uint32_t seed, int octaves, float gain = 0.5f);
// Tiling fBm: the first octave repeats every `period` cells, each later one
// every 2^k * period cells, so the sum repeats every `period` units.
float fbmTiled(float x, float y, uint32_t seed, int period, int octaves, float gain = 0.5f);

// Ridged multifractal: sharp crests where the noise crosses zero, each octave
// weighted by the one before so ridges carry fine detail and valleys stay
// smooth. Roughly in [0, 1].
float ridged(float x, float y, uint32_t seed, int octaves);
