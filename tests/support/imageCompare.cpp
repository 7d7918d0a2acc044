// imageCompare.cpp -- reference picture checks; see imageCompare.h.
#include "support/imageCompare.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/glTestContext.h"

TestImage readFrameBuffer(int width, int height) {
    TestImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    return image;
}

bool writePpm(const std::string& path, const TestImage& image) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    fprintf(file, "P6\n%d %d\n255\n", image.width, image.height);
    // PPM stores rows top to bottom.
    for (int row = image.height - 1; row >= 0; --row)
        fwrite(image.rgb.data() + static_cast<size_t>(row) * image.width * 3, 1,
               static_cast<size_t>(image.width) * 3, file);
    fclose(file);
    return true;
}

bool readPpm(const std::string& path, TestImage& image) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    int width = 0, height = 0, maxValue = 0;
    if (fscanf(file, "P6 %d %d %d", &width, &height, &maxValue) != 3 || maxValue != 255 || width <= 0 ||
        height <= 0 || width > 8192 || height > 8192) {
        fclose(file);
        return false;
    }
    fgetc(file);
    image.width = width;
    image.height = height;
    image.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    bool ok = true;
    for (int row = height - 1; row >= 0 && ok; --row)
        ok = fread(image.rgb.data() + static_cast<size_t>(row) * width * 3, 1, static_cast<size_t>(width) * 3,
                   file) == static_cast<size_t>(width) * 3;
    fclose(file);
    return ok;
}

double compareImages(const TestImage& a, const TestImage& b, int channelTolerance, TestImage* diff) {
    if (a.width != b.width || a.height != b.height) return 1.0;
    size_t pixels = static_cast<size_t>(a.width) * a.height;
    size_t different = 0;
    if (diff) {
        diff->width = a.width;
        diff->height = a.height;
        diff->rgb.assign(pixels * 3, 0);
    }
    for (size_t i = 0; i < pixels; ++i) {
        int largest = 0;
        for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a.rgb[i * 3 + c] - b.rgb[i * 3 + c]));
        if (largest > channelTolerance) {
            ++different;
            if (diff) diff->rgb[i * 3] = diff->rgb[i * 3 + 1] = diff->rgb[i * 3 + 2] = 255;
        }
    }
    return pixels ? static_cast<double>(different) / pixels : 0.0;
}

void expectMatchesReference(const std::string& name, const TestImage& image, int channelTolerance,
                            double maxDifferentFraction) {
    namespace fs = std::filesystem;
    fs::path referenceDir = fs::path(MORVISTA_SOURCE_DIR) / "tests" / "references";
    fs::path outputDir = fs::path(MORVISTA_BINARY_DIR) / "test-output";
    fs::create_directories(outputDir);
    fs::path reference = referenceDir / (name + ".ppm");
    const char* update = getenv("MORVISTA_UPDATE_REFERENCES");
    if (update && update[0] == '1') {
        fs::create_directories(referenceDir);
        ASSERT_TRUE(writePpm(reference.string(), image)) << "cannot write " << reference;
        std::ofstream(referenceDir / (name + ".renderer")) << testGlRenderer() << "\n";
        return;
    }
    TestImage expected;
    writePpm((outputDir / (name + ".ppm")).string(), image);
    ASSERT_TRUE(readPpm(reference.string(), expected))
        << "no reference picture " << reference << "; look at " << (outputDir / (name + ".ppm"))
        << " and run with MORVISTA_UPDATE_REFERENCES=1 to store it";
    TestImage diff;
    double fraction = compareImages(image, expected, channelTolerance, &diff);
    if (fraction > maxDifferentFraction) writePpm((outputDir / (name + "-diff.ppm")).string(), diff);
    EXPECT_LE(fraction, maxDifferentFraction)
        << name << ": " << fraction * 100 << "% of pixels differ by more than " << channelTolerance
        << " (renderer now: " << testGlRenderer() << "); output and diff in " << outputDir;
}
