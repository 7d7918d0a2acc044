// RoamTestMap.h -- synthetic terrain and camera views for the ROAM tests and
// benchmark.
//
// Provides: fillFractalMap (a diamond-square height field with a fixed seed,
// written straight into a Cheightmap), ViewMatrices / makeView (perspective
// and look-at matrices, column-major, as the pipeline would hold them) and
// setCameraView (stores the eye as the camera position and the six planes,
// taken from projection x modelview in the order right, left, bottom, top,
// far, near, normalised, into the camera's frustum).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "camera/camera.h"
#include "terrain/heightmap.h"

// Fills map with a size x size fractal height field (size = 2^n + 1), scaled
// to samples 0-255. The same seed gives the same map.
inline void fillFractalMap(Cheightmap& map, int size, uint32_t seed, float roughness = 0.55f) {
    uint32_t state = seed;
    auto random = [&state]() {  // -1 .. 1
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    };
    std::vector<float> h(static_cast<size_t>(size) * size, 0.0f);
    auto at = [&](int x, int z) -> float& { return h[static_cast<size_t>(z) * size + x]; };
    at(0, 0) = random();
    at(size - 1, 0) = random();
    at(0, size - 1) = random();
    at(size - 1, size - 1) = random();
    float amplitude = 1.0f;
    for (int step = size - 1; step > 1; step /= 2) {
        int half = step / 2;
        for (int z = half; z < size; z += step)
            for (int x = half; x < size; x += step)
                at(x, z) = (at(x - half, z - half) + at(x + half, z - half) + at(x - half, z + half) +
                            at(x + half, z + half)) * 0.25f + random() * amplitude;
        for (int z = 0; z < size; z += half)
            for (int x = (z / half) % 2 == 0 ? half : 0; x < size; x += step) {
                float sum = 0.0f;
                int count = 0;
                if (x >= half) sum += at(x - half, z), ++count;
                if (x + half < size) sum += at(x + half, z), ++count;
                if (z >= half) sum += at(x, z - half), ++count;
                if (z + half < size) sum += at(x, z + half), ++count;
                at(x, z) = sum / count + random() * amplitude;
            }
        amplitude *= roughness;
    }
    auto [low, high] = std::minmax_element(h.begin(), h.end());
    float lowest = *low, range = std::max(*high - *low, 1e-6f);
    map.release();
    map.data = new uint8_t[h.size()];
    for (size_t i = 0; i < h.size(); ++i)
        map.data[i] = static_cast<uint8_t>(std::lround((h[i] - lowest) / range * 255.0f));
    map.size = size;
}

struct ViewMatrices {
    float projection[16];
    float modelview[16];
};

// gluPerspective and gluLookAt equivalents (up = +y).
inline ViewMatrices makeView(const float eye[3], const float target[3], float fovyDegrees, float aspect,
                             float nearClip, float farClip) {
    ViewMatrices view{};
    float f = 1.0f / std::tan(fovyDegrees * 3.14159265f / 360.0f);
    view.projection[0] = f / aspect;
    view.projection[5] = f;
    view.projection[10] = (farClip + nearClip) / (nearClip - farClip);
    view.projection[11] = -1.0f;
    view.projection[14] = 2.0f * farClip * nearClip / (nearClip - farClip);

    float forward[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    float length = std::sqrt(forward[0] * forward[0] + forward[1] * forward[1] + forward[2] * forward[2]);
    for (float& c : forward) c /= length;
    float up[3] = {0.0f, 1.0f, 0.0f};
    if (std::fabs(forward[1]) > 0.999f) up[1] = 0.0f, up[2] = -1.0f;  // looking straight down
    float side[3] = {forward[1] * up[2] - forward[2] * up[1], forward[2] * up[0] - forward[0] * up[2],
                     forward[0] * up[1] - forward[1] * up[0]};
    length = std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]);
    for (float& c : side) c /= length;
    float trueUp[3] = {side[1] * forward[2] - side[2] * forward[1], side[2] * forward[0] - side[0] * forward[2],
                       side[0] * forward[1] - side[1] * forward[0]};
    float* m = view.modelview;
    m[0] = side[0], m[4] = side[1], m[8] = side[2];
    m[1] = trueUp[0], m[5] = trueUp[1], m[9] = trueUp[2];
    m[2] = -forward[0], m[6] = -forward[1], m[10] = -forward[2];
    m[3] = m[7] = m[11] = 0.0f;
    m[12] = -(m[0] * eye[0] + m[4] * eye[1] + m[8] * eye[2]);
    m[13] = -(m[1] * eye[0] + m[5] * eye[1] + m[9] * eye[2]);
    m[14] = -(m[2] * eye[0] + m[6] * eye[1] + m[10] * eye[2]);
    m[15] = 1.0f;
    return view;
}

// Camera position = eye; frustum = the planes of projection x modelview.
inline void setCameraView(const float eye[3], const ViewMatrices& view) {
    float clip[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += view.projection[4 * k + r] * view.modelview[4 * c + k];
            clip[4 * c + r] = sum;
        }
    auto row = [&](int k, int column) { return clip[4 * column + k]; };
    const int rowOf[6] = {0, 0, 1, 1, 2, 2};
    const float sign[6] = {-1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f};
    Ccamera* camera = getCamera();
    for (int p = 0; p < 6; ++p) {
        float plane[4];
        for (int c = 0; c < 4; ++c) plane[c] = row(3, c) + sign[p] * row(rowOf[p], c);
        float n = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
        for (int c = 0; c < 4; ++c) camera->frustum[p][c] = plane[c] / n;
    }
    setCameraPositionRaw(eye[0], eye[1], eye[2]);
}

// Six planes that accept everything within a huge box (no culling).
inline void setOpenFrustum() {
    const float planes[6][4] = {{-1, 0, 0, 1e6f}, {1, 0, 0, 1e6f}, {0, 1, 0, 1e6f},
                                {0, -1, 0, 1e6f}, {0, 0, -1, 1e6f}, {0, 0, 1, 1e6f}};
    Ccamera* camera = getCamera();
    for (int p = 0; p < 6; ++p)
        for (int c = 0; c < 4; ++c) camera->frustum[p][c] = planes[p][c];
}
