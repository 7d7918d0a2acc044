// screenshot.cpp -- TGA screenshot files; see screenshot.h.
#include "image/screenshot.h"

#include <GL/gl.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

static int screenshotCounter = 0;   // main thread only
static int lastWrittenNumber = -1;  // number of the last numbered file this run wrote

// One past the highest n of the plain files "<baseName><n>.tga" already in
// the base name's folder (0 when there are none, or the folder cannot be read).
static int nextUnusedNumber(const char* baseName) {
    namespace fs = std::filesystem;
    fs::path base(baseName);
    fs::path folder = base.parent_path();
    if (folder.empty()) folder = ".";
    const std::string prefix = base.filename().string();
    int next = 0;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        std::error_code kindError;
        if (!entry->is_regular_file(kindError)) continue;  // only shots count, not folders
        std::string name = entry->path().filename().string();
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (name.compare(name.size() - 4, 4, ".tga") != 0) continue;
        std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        bool allDigits = digits.size() <= 10;
        for (char c : digits) allDigits = allDigits && isdigit(static_cast<unsigned char>(c));
        if (!allDigits) continue;
        long long number = std::stoll(digits);
        if (number < INT_MAX && number + 1 > next) next = static_cast<int>(number + 1);
    }
    return next;
}

int getScreenshotCounter() { return screenshotCounter; }
void setScreenshotCounter(int value) { screenshotCounter = value < 0 ? 0 : value; }
void decrementScreenshotCounter() {
    if (screenshotCounter > 0) --screenshotCounter;
}

int writeTGA(const char* fileName, uint16_t width, uint16_t height, uint8_t bits, unsigned char* pixels) {
    const size_t bytesPerPixel = bits / 8;
    const size_t pixelCount = static_cast<size_t>(width) * height;
    FILE* file = (fileName && (pixels || pixelCount * bytesPerPixel == 0)) ? fopen(fileName, "wb") : nullptr;
    if (!file) {
        free(pixels);
        return -1;
    }

    unsigned char header[18] = {};
    header[2] = (bits == 24 || bits == 32) ? 2 : 3;  // true colour, else grey
    header[12] = static_cast<unsigned char>(width & 0xFF);
    header[13] = static_cast<unsigned char>(width >> 8);
    header[14] = static_cast<unsigned char>(height & 0xFF);
    header[15] = static_cast<unsigned char>(height >> 8);
    header[16] = bits;
    // header[17] = 0: bottom-left origin, no attribute bits declared.

    if (bytesPerPixel >= 3) {
        for (size_t i = 0; i < pixelCount; ++i) {
            unsigned char* p = pixels + i * bytesPerPixel;
            unsigned char red = p[0];
            p[0] = p[2];
            p[2] = red;
            if (bytesPerPixel >= 4) p[3] = static_cast<unsigned char>(255 - p[3]);
        }
    }

    const size_t pixelBytes = pixelCount * bytesPerPixel;
    bool written = fwrite(header, 1, sizeof header, file) == sizeof header;
    if (written && pixelBytes > 0) written = fwrite(pixels, 1, pixelBytes, file) == pixelBytes;
    if (fclose(file) != 0) written = false;
    free(pixels);
    if (!written) {
        remove(fileName);  // a cut-off file would only mislead
        return -1;
    }
    return 1;
}

int writeNumberedTGA(const char* baseName, uint16_t width, uint16_t height, uint8_t bits, unsigned char* pixels) {
    if (!baseName) {
        free(pixels);
        return -1;
    }
    // Never over a shot of an earlier run (or another program): the number
    // goes past the highest one in the folder. Only the file this run wrote
    // last may be written again (the screenshot sequence's second capture).
    if (screenshotCounter != lastWrittenNumber) {
        int unused = nextUnusedNumber(baseName);
        if (unused > screenshotCounter) screenshotCounter = unused;
    }
    // Sized for any counter value, not just three digits.
    const int length = snprintf(nullptr, 0, "%s%d.tga", baseName, screenshotCounter);
    std::vector<char> name(static_cast<size_t>(length) + 1);
    snprintf(name.data(), name.size(), "%s%d.tga", baseName, screenshotCounter);
    int result = writeTGA(name.data(), width, height, bits, pixels);
    if (result == 1) {
        lastWrittenNumber = screenshotCounter;
        if (screenshotCounter < INT_MAX) ++screenshotCounter;
    }
    return result;
}

// Reads the rectangle as RGBA bytes, rows bottom to top; null when the
// rectangle is empty or does not fit the 16-bit size fields of a TGA file.
static unsigned char* readScreenRect(int x1, int y1, int x2, int y2, int& width, int& height) {
    width = x2 - x1;
    height = y2 - y1;
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return nullptr;
    unsigned char* pixels = static_cast<unsigned char*>(malloc(static_cast<size_t>(width) * height * 4));
    if (!pixels) return nullptr;
    // RGBA rows are multiples of 4 bytes: with a pack alignment of 4 they
    // fill the buffer exactly (8 would pad odd-width rows past its end).
    // The caller's alignment is put back afterwards.
    GLint packAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x1, y1, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    return pixels;
}

int saveScreenRect(const char* baseName, int x1, int y1, int x2, int y2) {
    int width = 0, height = 0;
    unsigned char* pixels = readScreenRect(x1, y1, x2, y2, width, height);
    if (!pixels) return -1;
    return writeNumberedTGA(baseName, static_cast<uint16_t>(width), static_cast<uint16_t>(height), 32, pixels);
}

int saveScreenRectAs(const char* fileName, int x1, int y1, int x2, int y2) {
    int width = 0, height = 0;
    unsigned char* pixels = readScreenRect(x1, y1, x2, y2, width, height);
    if (!pixels) return -1;
    return writeTGA(fileName, static_cast<uint16_t>(width), static_cast<uint16_t>(height), 32, pixels);
}
