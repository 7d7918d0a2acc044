// image.h -- in-memory pictures and the file writers of the scene generator.
//
// Provides: Image (8-bit grey, RGB or RGBA), pixel access and blending,
// bilinear sampling, writeTga, writeRaw, writePng, writeFileBytes.
// Row 0 of an Image is the bottom of the picture: it is the first row of a
// TGA file (bottom-left origin), which the viewer maps to texture t = 0, and
// for terrain pictures the row of grid z = 0. PNG files are written top row
// first, so the writer flips them.
#pragma once

#include "common.h"

#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    int channels = 0; // 1 grey, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels;

    Image() = default;
    Image(int w, int h, int c) : width(w), height(h), channels(c), pixels((size_t)w * h * c, 0) {}
    uint8_t* at(int x, int y) { return &pixels[((size_t)y * width + x) * channels]; }
    const uint8_t* at(int x, int y) const { return &pixels[((size_t)y * width + x) * channels]; }

    void setRgb(int x, int y, Vec3 c)
    {
        uint8_t* p = at(x, y);
        p[0] = toByte(c.x);
        p[1] = toByte(c.y);
        p[2] = toByte(c.z);
    }
    void setRgba(int x, int y, Vec3 c, float a)
    {
        uint8_t* p = at(x, y);
        p[0] = toByte(c.x);
        p[1] = toByte(c.y);
        p[2] = toByte(c.z);
        p[3] = toByte(a);
    }
    Vec3 rgbAt(int x, int y) const
    {
        const uint8_t* p = at(x, y);
        if (channels < 3)
            return {p[0] / 255.0f, p[0] / 255.0f, p[0] / 255.0f};
        return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
    }
    float alphaAt(int x, int y) const { return channels == 4 ? at(x, y)[3] / 255.0f : 1.0f; }
};

// Bilinear sample at texture coordinates (s, t) with texel centres at
// (i + 0.5) / width; wrap repeats, otherwise the edges are clamped.
Vec3 sampleRgb(const Image& image, float s, float t, bool wrap);
float sampleAlpha(const Image& image, float s, float t, bool wrap);

// TGA as the viewer reads it: no image ID, no colour map, uncompressed,
// type 2 for 24 and 32 bits and type 3 for 8 bits, bottom-left origin.
bool writeTga(const std::string& path, const Image& image);
// Headerless bytes (RAW grids).
bool writeRaw(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// PNG with stored (uncompressed) deflate blocks; grey, RGB or RGBA.
bool writePng(const std::string& path, const Image& image);

// Fills the fully transparent texels of an RGBA picture with the colour of
// the nearest opaque ones, so that filtering and mipmaps of alpha cut-outs do
// not pull a dark fringe into the leaf edges.
void bleedTransparentColour(Image& image);
