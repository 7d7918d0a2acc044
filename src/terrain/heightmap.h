// heightmap.h -- the square grid of 8-bit samples every terrain works on.
//
// Provides: Cheightmap (load, setScale, height, sample).
// A RAW file is exactly size x size bytes, no header, rows of constant z one
// after another (z = 0 first), x increasing within a row: the sample of grid
// point (x, z) is data[x + z * size]. World position of (x, z) with sample s
// is (x * xScale, s * heightScale, z * zScale). The brute-force terrain,
// geomipmapping terrain, ROAM terrain, lightmap grid and the plant
// distribution maps are all Cheightmap objects (Cgeomipmap and Croam extend
// it). Written on the main thread at scene set-up; read-only afterwards.
#pragma once

#include <cstdint>

class Cheightmap {
public:
    uint8_t* data = nullptr;       // size * size samples, owned; null until loaded
    float heightScale = 1.0f;      // equal to yScale after setScale
    int vertexCount = 0;           // vertices emitted by the last draw
    int triangleCount = 0;         // triangles emitted by the last draw
    int size = 0;                  // samples per side; 0 when empty
    float xScale = 1.0f;
    float yScale = 1.0f;
    float zScale = 1.0f;
    int multiTexCoords = 0;        // 1: two texture coordinate sets per vertex
    int detailRepeat = 1;          // repeat of unit 0's coordinates with two sets
    float multiTextureDistance = 100.0f;

    Cheightmap() = default;
    ~Cheightmap();
    Cheightmap(const Cheightmap&) = delete;
    Cheightmap& operator=(const Cheightmap&) = delete;

    // Reads size * size bytes. A short file still loads: the missing tail
    // reads as 0. Any grid already held is released first. Returns false
    // when the file cannot be opened, the size is not positive, or memory
    // runs out (the object is then empty).
    bool load(const char* fileName, int size);

    void setScale(float x, float y, float z);

    // Scaled height of grid point (x, z); callers keep 0 <= x, z < size.
    double height(int x, int z) const { return data[x + z * size] * static_cast<double>(heightScale); }

    // Raw sample of grid point (x, z); callers keep 0 <= x, z < size.
    uint8_t sample(int x, int z) const { return data[x + z * size]; }

    // Releases the grid; size becomes 0.
    void release();
};
