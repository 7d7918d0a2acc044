// tgaDecode.h -- the byte level of the TGA files the texture loaders accept.
//
// Provides: the loader result codes (TgaResult), TgaHeader, TgaImage,
// TGA_HEADER_SIZE, TGA_MAX_SIDE, readTGAHeader, tgaPixelBytes,
// tgaFileBytes, tgaTruncatedReason, convertTGAPixels, decodeTGA,
// freeTGAImage, isPowerOfTwo.
// Pure functions over bytes: no OpenGL, no files, no globals, so the fuzz
// target compiles this file alone (fuzz/tga.cmake). tga.cpp reads files with
// these and hands the result to OpenGL.
//
// Accepted files: colour-map type 0, image type 2 or 3, power-of-two sides of
// at most TGA_MAX_SIDE, 8, 24 or 32 bits per pixel. The header is read as a
// 3-byte prefix at offset 0 and a 6-byte image specification at offset 12;
// the image-ID field (byte 0 gives its length) is skipped, so pixels start
// at offset 18 + ID length. The origin bits of the descriptor (byte 17) are
// honoured: the pixels are handed on with the bottom row first and the left
// column first, as OpenGL takes them (t = 0 at the bottom of the picture),
// whether the file stores them from the top (bit 5) or from the right (bit
// 4). The bit depth alone decides the layout: 32 = B,G,R,A; 24 = B,G,R; 8 =
// one byte that becomes alpha.
// Every refusal can come with a reason in words for the user ("truncated:
// ...", "colour-mapped images are not supported", ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum TgaResult {
    TGA_OK = 1,
    TGA_OPEN_FAILED = 13,       // cannot open the file for reading
    TGA_BAD_TYPE = 14,          // colour map present, or image type not 2 or 3
    TGA_NOT_POWER_OF_TWO = 15,  // a side is 0 or not a power of two
    TGA_BAD_DEPTH = 16,         // bits per pixel not 8, 24 or 32
    TGA_READ_FAILED = 17,       // short file, side above TGA_MAX_SIDE, or no memory
};

enum { TGA_HEADER_SIZE = 18, TGA_MAX_SIDE = 16384 };

struct TgaHeader {
    int idLength = 0;
    int colourMapType = 0;
    int imageType = 0;
    int width = 0;
    int height = 0;
    int bits = 0;
    int descriptor = 0;
};

// Pixels ready for OpenGL: R,G,B,A (32 bits), R,G,B (24) or alpha (8),
// bottom row first, each row left to right. pixels comes from malloc; the owner frees it with
// freeTGAImage (or free).
struct TgaImage {
    int width = 0;
    int height = 0;
    int bits = 0;
    unsigned char* pixels = nullptr;
};

// Checks the first `length` bytes of a file (length may be below
// TGA_HEADER_SIZE for a short file). Returns TGA_OK or the code that refuses
// the file: fewer than 3 bytes or fewer than 18 -> 17 (the type prefix is
// judged first, so a short file with a bad type gives 14); bad type -> 14;
// side not a power of two (0 included) -> 15; bad depth -> 16; side above
// TGA_MAX_SIDE -> 17. reason, when given, receives why a file is refused.
int readTGAHeader(const unsigned char* bytes, size_t length, TgaHeader& header, std::string* reason = nullptr);

// width x height x bits/8 of an accepted header; cannot overflow (at most
// 16384 x 16384 x 4).
size_t tgaPixelBytes(const TgaHeader& header);

// In place, file order to OpenGL order: 32 and 24 bits swap bytes 0 and 2;
// with brighten, 32-bit pixels also get +50 on R, G and B, clamped to 255
// (alpha unchanged, 24-bit never brightened); 8 bits stay as they are.
void convertTGAPixels(unsigned char* pixels, size_t pixelCount, int bits, int brighten);

// Bytes from the start of the file to the end of the pixels of an accepted
// header: 18 + ID length + tgaPixelBytes.
size_t tgaFileBytes(const TgaHeader& header);

// The reason given for a file of size bytes shorter than tgaFileBytes.
std::string tgaTruncatedReason(const TgaHeader& header, size_t size);

// A whole file in memory to converted pixels. On TGA_OK, image.pixels holds
// tgaPixelBytes bytes; on any other code image is left empty and reason,
// when given, says why (a file shorter than tgaFileBytes is "truncated").
int decodeTGA(const unsigned char* data, size_t size, int brighten, TgaImage& image, std::string* reason = nullptr);

void freeTGAImage(TgaImage& image);

// True for 1, 2, 4, ... : the nearest integer exponent e of log2(n) must
// give back n as the nearest integer to 2^e. False for 0 and negatives.
bool isPowerOfTwo(int n);
