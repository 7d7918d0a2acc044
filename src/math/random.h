// random.h -- the one process-wide pseudo-random generator.
//
// Provides: randomSeed, randomState, randomInt, randomFloat, randomUnit,
// randomDraw.
// A linear congruential generator: state = state * 214013 + 2531011 (mod
// 2^32), each draw returns (state >> 16) & 0x7FFF. The first call of any of
// the three range functions seeds the state with 0 once (replacing any
// earlier randomSeed); later calls never seed again. Plant placement reseeds
// before every pass so the same plants come back each frame, so the exact
// sequence of draws is part of the scene.
// Main thread only (scripts and the frame).
#pragma once

#include <cstdint>

void randomSeed(uint32_t seed);
uint32_t randomState();                // the state as randomSeed would set it
int randomDraw();                       // one raw draw, 0 to 32767
int randomInt(int lo, int hi);          // lo + r mod (hi - lo + 1); hi < lo gives lo
float randomFloat(float lo, float hi);  // r / 32767 * (hi - lo) + lo
float randomUnit();                     // r / 32768, in [0, 1)
