// heightmap.h -- the square grid of 8-bit samples every terrain works on.
//
// Provides: Cheightmap (load, copyFrom, sameSamples, setScale, height, sample,
// inside, release).
// A RAW file is exactly size x size bytes, no header, rows of constant z one
// after another (z = 0 first), x increasing within a row: the sample of grid
// point (x, z) is data[x + z * size]. World position of (x, z) with sample s
// is (x * xScale, s * heightScale, z * zScale). The brute-force terrain,
// geomipmapping terrain, ROAM terrain, lightmap grid and the plant
// distribution maps are all Cheightmap objects (Cgeomipmap and Croam extend
// it). Written on the main thread at scene set-up; read-only afterwards.
#pragma once

#include <cstdint>
#include <string>

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
    // reads as 0; a longer file loads its first size * size bytes. Any grid
    // already held is released first, so after a failed load the object is
    // empty. Returns false when the file cannot be opened or is not a
    // regular file (a pipe is refused before anything is read, so it never
    // blocks), the size is not between 1 and 65536, or memory runs out.
    // problem, when given, receives the reason of a failure, or for a file
    // of the wrong length what was patched ("16641 bytes expected, 100
    // read; the rest reads as 0"); it is left empty for a file of the
    // right length.
    bool load(const char* fileName, int size, std::string* problem = nullptr);

    // Takes grid's samples and scales (a copy; the counts and texture
    // settings stay this object's own). Any grid already held is released
    // first. false when grid is empty or memory runs out: the object is then
    // empty. Copying an object onto itself keeps it as it is.
    bool copyFrom(const Cheightmap& grid);

    // Whether other holds the same size, samples and scales.
    bool sameSamples(const Cheightmap& other) const;

    void setScale(float x, float y, float z);

    // Scaled height of grid point (x, z): the sample times heightScale,
    // multiplied in single precision. 0 outside the grid and on an empty
    // object (a terrain whose file was missing), so a stray look-up never
    // reads outside the samples.
    double height(int x, int z) const {
        return inside(x, z) ? static_cast<double>(data[x + z * size] * heightScale) : 0.0;
    }

    // Raw sample of grid point (x, z); 0 outside the grid and when empty.
    uint8_t sample(int x, int z) const { return inside(x, z) ? data[x + z * size] : 0; }

    bool inside(int x, int z) const {
        return data && static_cast<unsigned>(x) < static_cast<unsigned>(size) &&
               static_cast<unsigned>(z) < static_cast<unsigned>(size);
    }

    // Releases the grid; size becomes 0.
    void release();
};
