// tgaDecode.cpp -- TGA header checks and pixel conversion; see tgaDecode.h.
// No OpenGL and no globals here: the fuzz target builds this file alone.
#include "image/tgaDecode.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

// Truncates toward zero, then rounds up when the dropped part is at least
// one half (so it rounds half up for positive values).
static long long toNearestInt(double v) {
    long long truncated = static_cast<long long>(v);
    if (v - static_cast<double>(truncated) >= 0.5) truncated += 1;
    return truncated;
}

bool isPowerOfTwo(int n) {
    if (n <= 0) return false;  // log of 0 or a negative number has no exponent
    long long exponent = toNearestInt(std::log(static_cast<double>(n)) / std::log(2.0));
    return n == toNearestInt(std::pow(2.0, static_cast<double>(exponent)));
}

int readTGAHeader(const unsigned char* bytes, size_t length, TgaHeader& header) {
    header = TgaHeader{};
    // The 3-byte prefix: ID length, colour-map type, image type.
    if (length < 3) return TGA_READ_FAILED;
    header.idLength = bytes[0];
    header.colourMapType = bytes[1];
    header.imageType = bytes[2];
    if (header.colourMapType != 0 || (header.imageType != 2 && header.imageType != 3)) return TGA_BAD_TYPE;

    // The 6-byte image specification at offset 12.
    if (length < TGA_HEADER_SIZE) return TGA_READ_FAILED;
    header.width = bytes[12] + 256 * bytes[13];
    header.height = bytes[14] + 256 * bytes[15];
    header.bits = bytes[16];
    header.descriptor = bytes[17];

    if (!isPowerOfTwo(header.width) || !isPowerOfTwo(header.height)) return TGA_NOT_POWER_OF_TWO;
    if (header.bits != 32 && header.bits != 24 && header.bits != 8) return TGA_BAD_DEPTH;
    // 32768 is a power of two that fits the 16-bit fields; refusing it keeps
    // allocations sane for files that lie about their size.
    if (header.width > TGA_MAX_SIDE || header.height > TGA_MAX_SIDE) return TGA_READ_FAILED;
    return TGA_OK;
}

size_t tgaPixelBytes(const TgaHeader& header) {
    return static_cast<size_t>(header.width) * static_cast<size_t>(header.height) *
           static_cast<size_t>(header.bits / 8);
}

void convertTGAPixels(unsigned char* pixels, size_t pixelCount, int bits, int brighten) {
    if (bits == 32) {
        for (size_t i = 0; i < pixelCount; ++i) {
            unsigned char* p = pixels + i * 4;
            unsigned char blue = p[0];
            p[0] = p[2];
            p[2] = blue;
            if (brighten) {
                for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(p[c] > 205 ? 255 : p[c] + 50);
            }
        }
    } else if (bits == 24) {
        for (size_t i = 0; i < pixelCount; ++i) {
            unsigned char* p = pixels + i * 3;
            unsigned char blue = p[0];
            p[0] = p[2];
            p[2] = blue;
        }
    }
}

int decodeTGA(const unsigned char* data, size_t size, int brighten, TgaImage& image) {
    image = TgaImage{};
    TgaHeader header;
    int result = readTGAHeader(data, size, header);
    if (result != TGA_OK) return result;

    size_t needed = tgaPixelBytes(header);
    if (size - TGA_HEADER_SIZE < needed) return TGA_READ_FAILED;
    unsigned char* pixels = static_cast<unsigned char*>(malloc(needed));
    if (!pixels) return TGA_READ_FAILED;
    memcpy(pixels, data + TGA_HEADER_SIZE, needed);
    convertTGAPixels(pixels, static_cast<size_t>(header.width) * static_cast<size_t>(header.height), header.bits,
                     brighten);

    image.width = header.width;
    image.height = header.height;
    image.bits = header.bits;
    image.pixels = pixels;
    return TGA_OK;
}

void freeTGAImage(TgaImage& image) {
    free(image.pixels);
    image = TgaImage{};
}
