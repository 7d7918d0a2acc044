// e2ePictures.h -- pictures the end-to-end tests read back: the program's
// screenshots (32-bit TGA) and ImageMagick's captures of the screen (PPM),
// and their mean difference over a rectangle.
//
// Provides: Picture, readTga, readPpm, meanDifference.
#pragma once

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace e2ePictures {

// An RGB picture with the top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(int x, int yFromTop) const { return &rgb[(size_t(yFromTop) * width + x) * 3]; }
};

// A 32-bit screenshot (bottom-left origin, BGRA).
inline Picture readTga(const std::string& bytes) {
    Picture picture;
    if (bytes.size() < 18) return picture;
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    int width = byte(12) | byte(13) << 8, height = byte(14) | byte(15) << 8;
    size_t start = 18 + byte(0);
    if (byte(16) != 32 || bytes.size() < start + size_t(width) * height * 4) return picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            size_t from = start + (size_t(height - 1 - y) * width + x) * 4;
            unsigned char* to = &picture.rgb[(size_t(y) * width + x) * 3];
            to[0] = byte(from + 2);
            to[1] = byte(from + 1);
            to[2] = byte(from);
        }
    }
    return picture;
}

// A binary PPM as ImageMagick writes it (8 or 16 bits a sample).
inline Picture readPpm(const std::string& bytes) {
    Picture picture;
    std::istringstream header(bytes);
    std::string magic;
    int maximum = 0;
    header >> magic >> picture.width >> picture.height >> maximum;
    size_t start = static_cast<size_t>(header.tellg()) + 1;
    size_t samples = size_t(picture.width) * picture.height * 3;
    size_t sampleBytes = maximum > 255 ? 2 : 1;
    if (magic != "P6" || (maximum != 255 && maximum != 65535) || bytes.size() < start + samples * sampleBytes)
        return {};
    picture.rgb.resize(samples);
    for (size_t i = 0; i < samples; ++i) picture.rgb[i] = static_cast<unsigned char>(bytes[start + i * sampleBytes]);
    return picture;
}

// Mean difference per channel of two pictures over a rectangle (top-left
// origin); -1 when the pictures do not both cover it.
inline double meanDifference(const Picture& a, const Picture& b, int x0, int y0, int width, int height) {
    if (a.width < x0 + width || b.width < x0 + width || a.height < y0 + height || b.height < y0 + height) return -1;
    double sum = 0;
    for (int y = y0; y < y0 + height; ++y) {
        for (int x = x0; x < x0 + width; ++x) {
            for (int c = 0; c < 3; ++c) sum += std::abs(int(a.at(x, y)[c]) - int(b.at(x, y)[c]));
        }
    }
    return sum / (3.0 * width * height);
}

}  // namespace e2ePictures

using e2ePictures::meanDifference;
using e2ePictures::Picture;
using e2ePictures::readPpm;
using e2ePictures::readTga;
