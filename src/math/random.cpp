// random.cpp -- the shared generator; see random.h.
#include "math/random.h"

namespace {
uint32_t state = 0;
bool randomStarted = false;

void startOnFirstUse() {
    if (!randomStarted) {
        state = 0;
        randomStarted = true;
    }
}
}  // namespace

void randomSeed(uint32_t seed) { state = seed; }

uint32_t randomState() { return state; }

int randomDraw() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

int randomInt(int lo, int hi) {
    startOnFirstUse();
    int r = randomDraw();
    if (hi < lo) return lo;  // an empty range still consumes its draw
    long long span = static_cast<long long>(hi) - lo + 1;
    return static_cast<int>(lo + r % span);
}

float randomFloat(float lo, float hi) {
    startOnFirstUse();
    int r = randomDraw();
    return static_cast<float>(r) / 32767.0f * (hi - lo) + lo;
}

float randomUnit() {
    startOnFirstUse();
    int r = randomDraw();
    return static_cast<float>(r) / 32768.0f;
}
