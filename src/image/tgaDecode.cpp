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

namespace {

void setReason(std::string* reason, const std::string& text) {
    if (reason) *reason = text;
}

std::string sizeText(const TgaHeader& header) {
    return std::to_string(header.width) + " x " + std::to_string(header.height);
}

}  // namespace

int readTGAHeader(const unsigned char* bytes, size_t length, TgaHeader& header, std::string* reason) {
    header = TgaHeader{};
    setReason(reason, "");
    // The 3-byte prefix: ID length, colour-map type, image type.
    if (length < 3) {
        setReason(reason, "truncated: " + std::to_string(length) + " bytes, a TGA header has 18");
        return TGA_READ_FAILED;
    }
    header.idLength = bytes[0];
    header.colourMapType = bytes[1];
    header.imageType = bytes[2];
    if (header.colourMapType != 0 || header.imageType == 1 || header.imageType == 9) {
        setReason(reason, "colour-mapped images are not supported");
        return TGA_BAD_TYPE;
    }
    if (header.imageType != 2 && header.imageType != 3) {
        std::string kind = header.imageType == 10 || header.imageType == 11 ? " (run-length compressed)" : "";
        setReason(reason, "image type " + std::to_string(header.imageType) + kind +
                              " is not supported (only uncompressed true-colour 2 and grey 3)");
        return TGA_BAD_TYPE;
    }

    // The 6-byte image specification at offset 12.
    if (length < TGA_HEADER_SIZE) {
        setReason(reason, "truncated: " + std::to_string(length) + " bytes, a TGA header has 18");
        return TGA_READ_FAILED;
    }
    header.width = bytes[12] + 256 * bytes[13];
    header.height = bytes[14] + 256 * bytes[15];
    header.bits = bytes[16];
    header.descriptor = bytes[17];

    if (header.width == 0 || header.height == 0) {
        setReason(reason, "zero size (" + sizeText(header) + ")");
        return TGA_NOT_POWER_OF_TWO;
    }
    if (!isPowerOfTwo(header.width) || !isPowerOfTwo(header.height)) {
        setReason(reason, "size " + sizeText(header) + " is not a power of two");
        return TGA_NOT_POWER_OF_TWO;
    }
    if (header.bits != 32 && header.bits != 24 && header.bits != 8) {
        setReason(reason, "unsupported depth of " + std::to_string(header.bits) + " bits (8, 24 or 32)");
        return TGA_BAD_DEPTH;
    }
    // 32768 is a power of two that fits the 16-bit fields; refusing it keeps
    // allocations sane for files that lie about their size.
    if (header.width > TGA_MAX_SIDE || header.height > TGA_MAX_SIDE) {
        setReason(reason, "size " + sizeText(header) + " is too large (at most " + std::to_string(TGA_MAX_SIDE) +
                              " a side)");
        return TGA_READ_FAILED;
    }
    return TGA_OK;
}

size_t tgaPixelBytes(const TgaHeader& header) {
    return static_cast<size_t>(header.width) * static_cast<size_t>(header.height) *
           static_cast<size_t>(header.bits / 8);
}

size_t tgaFileBytes(const TgaHeader& header) {
    return TGA_HEADER_SIZE + static_cast<size_t>(header.idLength) + tgaPixelBytes(header);
}

std::string tgaTruncatedReason(const TgaHeader& header, size_t size) {
    return "truncated: " + std::to_string(size) + " bytes, a " + sizeText(header) + " image of " +
           std::to_string(header.bits) + " bits needs " + std::to_string(tgaFileBytes(header));
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

int decodeTGA(const unsigned char* data, size_t size, int brighten, TgaImage& image, std::string* reason) {
    image = TgaImage{};
    TgaHeader header;
    int result = readTGAHeader(data, size, header, reason);
    if (result != TGA_OK) return result;

    size_t needed = tgaFileBytes(header);
    if (size < needed) {
        setReason(reason, tgaTruncatedReason(header, size));
        return TGA_READ_FAILED;
    }
    size_t pixelBytes = tgaPixelBytes(header);
    unsigned char* pixels = static_cast<unsigned char*>(malloc(pixelBytes));
    if (!pixels) {
        setReason(reason, "out of memory");
        return TGA_READ_FAILED;
    }
    // Rows bottom first, columns left first, whatever the file's origin.
    const unsigned char* source = data + TGA_HEADER_SIZE + header.idLength;
    const size_t width = static_cast<size_t>(header.width);
    const size_t height = static_cast<size_t>(header.height);
    const size_t pixelSize = static_cast<size_t>(header.bits / 8);
    const size_t rowBytes = width * pixelSize;
    const bool fromTop = (header.descriptor & 0x20) != 0;
    const bool fromRight = (header.descriptor & 0x10) != 0;
    for (size_t row = 0; row < height; ++row) {
        const unsigned char* in = source + (fromTop ? height - 1 - row : row) * rowBytes;
        unsigned char* out = pixels + row * rowBytes;
        if (!fromRight) {
            memcpy(out, in, rowBytes);
            continue;
        }
        for (size_t x = 0; x < width; ++x) memcpy(out + x * pixelSize, in + (width - 1 - x) * pixelSize, pixelSize);
    }
    convertTGAPixels(pixels, width * height, header.bits, brighten);

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
