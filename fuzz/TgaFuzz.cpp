// TgaFuzz.cpp -- fuzz target for the TGA reader: decodeTGA over any bytes,
// with and without brightening, checking what an accepted file promises
// and that every refusal comes with a reason.
//
// Built twice (fuzz/tga.cmake). With MORVISTA_LIBFUZZER it is a libFuzzer
// program (clang). Without, main() below replays every file named on the
// command line, or every file in a named folder, through the same entry:
// that is how the kept corpus and the crashers found so far run as
// regression cases with the normal compiler.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/tgaDecode.h"

static void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "TgaFuzz: %s\n", what);
        abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int brighten = 0; brighten < 2; ++brighten) {
        TgaImage image;
        std::string reason;
        int result = decodeTGA(data, size, brighten, image, &reason);
        if (result != TGA_OK) {
            check(!reason.empty(), "refused without a reason");
            check(result >= TGA_BAD_TYPE && result <= TGA_READ_FAILED, "unknown result code");
            check(image.pixels == nullptr, "pixels returned with a failure");
            continue;
        }
        check(image.pixels != nullptr, "no pixels for an accepted file");
        check(isPowerOfTwo(image.width) && image.width <= TGA_MAX_SIDE, "bad width accepted");
        check(isPowerOfTwo(image.height) && image.height <= TGA_MAX_SIDE, "bad height accepted");
        check(image.bits == 8 || image.bits == 24 || image.bits == 32, "bad depth accepted");
        const size_t bytesPerPixel = static_cast<size_t>(image.bits / 8);
        const size_t pixelCount = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
        check(size >= TGA_HEADER_SIZE + pixelCount * bytesPerPixel, "accepted more pixels than the file holds");
        // Every pixel is the file's, red and blue swapped, brightened or not,
        // bottom row first and left column first whatever the file's origin.
        const size_t idLength = data[0];
        check(size >= TGA_HEADER_SIZE + idLength + pixelCount * bytesPerPixel, "accepted a file without its ID field");
        const uint8_t* file = data + TGA_HEADER_SIZE + idLength;
        const bool fromTop = (data[17] & 0x20) != 0;
        const bool fromRight = (data[17] & 0x10) != 0;
        const size_t width = static_cast<size_t>(image.width);
        const size_t height = static_cast<size_t>(image.height);
        for (size_t i = 0; i < pixelCount; ++i) {
            const size_t row = i / width;
            const size_t column = i % width;
            const size_t fileRow = fromTop ? height - 1 - row : row;
            const size_t fileColumn = fromRight ? width - 1 - column : column;
            const uint8_t* in = file + (fileRow * width + fileColumn) * bytesPerPixel;
            const uint8_t* out = image.pixels + i * bytesPerPixel;
            if (bytesPerPixel == 1) {
                check(out[0] == in[0], "8-bit pixel changed");
                continue;
            }
            const uint8_t source[3] = {in[2], in[1], in[0]};
            for (int c = 0; c < 3; ++c) {
                int expected = source[c];
                if (brighten && bytesPerPixel == 4) expected = expected + 50 > 255 ? 255 : expected + 50;
                check(out[c] == expected, "colour byte wrong");
            }
            if (bytesPerPixel == 4) check(out[3] == in[3], "alpha changed");
        }
        freeTGAImage(image);
    }
    return 0;
}

#ifndef MORVISTA_LIBFUZZER
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

static void replay(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fprintf(stderr, "replay %s (%zu bytes)\n", path.c_str(), bytes.size());
    // An exactly sized copy, as libFuzzer passes it, so that AddressSanitizer
    // sees a read one byte past the input (a vector may have spare room).
    uint8_t* exact = static_cast<uint8_t*>(malloc(bytes.size() ? bytes.size() : 1));
    if (!bytes.empty()) memcpy(exact, bytes.data(), bytes.size());
    LLVMFuzzerTestOneInput(exact, bytes.size());
    free(exact);
}

int main(int argc, char** argv) {
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                replay(file);
                ++inputs;
            }
        } else if (std::filesystem::is_regular_file(path)) {
            replay(path);
            ++inputs;
        } else {
            fprintf(stderr, "TgaFuzz: %s is neither a file nor a folder\n", argv[i]);
            return 1;
        }
    }
    printf("replayed %d inputs\n", inputs);
    return inputs > 0 ? 0 : 1;  // no inputs means a wrong path, not a pass
}
#endif
