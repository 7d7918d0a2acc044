// heightmap.cpp -- RAW grid loading; see heightmap.h.
#include "terrain/heightmap.h"

#include <cstdio>
#include <cstring>
#include <new>

Cheightmap::~Cheightmap() { release(); }

void Cheightmap::release() {
    delete[] data;
    data = nullptr;
    size = 0;
}

bool Cheightmap::load(const char* fileName, int newSize) {
    release();
    if (!fileName || newSize <= 0 || newSize > 65536) return false;
    FILE* file = fopen(fileName, "rb");
    if (!file) return false;
    size_t count = static_cast<size_t>(newSize) * static_cast<size_t>(newSize);
    uint8_t* grid = new (std::nothrow) uint8_t[count];
    if (!grid) {
        fclose(file);
        return false;
    }
    size_t got = fread(grid, 1, count, file);
    fclose(file);
    if (got < count) memset(grid + got, 0, count - got);
    data = grid;
    size = newSize;
    return true;
}

void Cheightmap::setScale(float x, float y, float z) {
    xScale = x;
    yScale = y;
    zScale = z;
    heightScale = y;
}
