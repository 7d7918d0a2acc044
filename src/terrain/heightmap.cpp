// heightmap.cpp -- RAW grid loading; see heightmap.h.
#include "terrain/heightmap.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "util/fileOpen.h"

Cheightmap::~Cheightmap() { release(); }

void Cheightmap::release() {
    delete[] data;
    data = nullptr;
    size = 0;
}

bool Cheightmap::load(const char* fileName, int newSize, std::string* problem) {
    release();
    std::string reason;
    if (problem) problem->clear();
    if (!fileName || newSize <= 0 || newSize > 65536) {
        if (problem) *problem = "map size " + std::to_string(newSize) + " is not between 1 and 65536";
        return false;
    }
    long long fileSize = 0;
    FILE* file = openRegularFile(fileName, "rb", reason, &fileSize);
    if (!file) {
        if (problem) *problem = reason;
        return false;
    }
    size_t count = static_cast<size_t>(newSize) * static_cast<size_t>(newSize);
    uint8_t* grid = new (std::nothrow) uint8_t[count];
    if (!grid) {
        fclose(file);
        if (problem) *problem = "out of memory";
        return false;
    }
    size_t got = fread(grid, 1, count, file);
    fclose(file);
    if (got < count) memset(grid + got, 0, count - got);
    if (problem && got < count) {
        *problem = std::to_string(count) + " bytes expected for a " + std::to_string(newSize) + " map, " +
                   std::to_string(got) + " read; the missing samples read as 0";
    } else if (problem && static_cast<unsigned long long>(fileSize) > count) {
        *problem = std::to_string(count) + " bytes expected for a " + std::to_string(newSize) + " map, the file has " +
                   std::to_string(fileSize) + "; the rest is ignored";
    }
    data = grid;
    size = newSize;
    return true;
}

bool Cheightmap::copyFrom(const Cheightmap& grid) {
    if (&grid == this) return data != nullptr;
    release();
    if (!grid.data || grid.size <= 0) return false;
    const size_t count = static_cast<size_t>(grid.size) * static_cast<size_t>(grid.size);
    uint8_t* copy = new (std::nothrow) uint8_t[count];
    if (!copy) return false;
    memcpy(copy, grid.data, count);
    data = copy;
    size = grid.size;
    xScale = grid.xScale;
    yScale = grid.yScale;
    zScale = grid.zScale;
    heightScale = grid.heightScale;
    return true;
}

bool Cheightmap::sameSamples(const Cheightmap& other) const {
    if (size != other.size || xScale != other.xScale || heightScale != other.heightScale || zScale != other.zScale)
        return false;
    if (!data || !other.data) return data == other.data;
    return memcmp(data, other.data, static_cast<size_t>(size) * static_cast<size_t>(size)) == 0;
}

void Cheightmap::setScale(float x, float y, float z) {
    xScale = x;
    yScale = y;
    zScale = z;
    heightScale = y;
}
