// ScreenshotTest.cpp -- TGA screenshot files: bytes written, numbering, and
// frame-buffer rectangles that ImageMagick reads back with the right size
// and colours.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/screenshot.h"
#include "image/tga.h"
#include "imageTestFiles.h"
#include "support/glTestContext.h"

using namespace imagetest;

namespace {

unsigned char* mallocCopy(const std::vector<uint8_t>& bytes) {
    unsigned char* buffer = static_cast<unsigned char*>(malloc(bytes.size()));
    memcpy(buffer, bytes.data(), bytes.size());
    return buffer;
}

std::vector<uint8_t> header(int type, int width, int height, int bits) {
    return tgaBytes(type, width, height, bits, {});
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ScreenshotWriter, HeaderAndPixelBytes) {
    ScratchFolder folder;
    // 32 bits: R,G,B -> B,G,R and the fourth byte becomes 255 - alpha.
    EXPECT_EQ(writeTGA("rgba.tga", 2, 1, 32, mallocCopy({10, 20, 30, 255, 1, 2, 3, 0})), 1);
    EXPECT_EQ(readFile("rgba.tga"), concat(header(2, 2, 1, 32), {30, 20, 10, 0, 3, 2, 1, 255}));
    // 24 bits: swapped, no alpha; 8 bits: grey type, bytes as they are.
    EXPECT_EQ(writeTGA("rgb.tga", 1, 2, 24, mallocCopy({10, 20, 30, 40, 50, 60})), 1);
    EXPECT_EQ(readFile("rgb.tga"), concat(header(2, 1, 2, 24), {30, 20, 10, 60, 50, 40}));
    EXPECT_EQ(writeTGA("grey.tga", 2, 1, 8, mallocCopy({7, 250})), 1);
    EXPECT_EQ(readFile("grey.tga"), concat(header(3, 2, 1, 8), {7, 250}));
    // Sizes above 255 use both bytes of the little-endian fields.
    EXPECT_EQ(writeTGA("wide.tga", 300, 1, 8, mallocCopy(std::vector<uint8_t>(300, 9))), 1);
    std::vector<uint8_t> wide = readFile("wide.tga");
    ASSERT_EQ(wide.size(), 318u);
    EXPECT_EQ(wide[12], 300 & 0xFF);
    EXPECT_EQ(wide[13], 300 >> 8);

    // A file that cannot be created: -1 (the buffer is still freed).
    EXPECT_EQ(writeTGA("no-such-folder/x.tga", 1, 1, 32, mallocCopy({1, 2, 3, 4})), -1);
}

TEST(ScreenshotWriter, NumberedFilesAndTheCounter) {
    ScratchFolder folder;
    setScreenshotCounter(0);
    auto pixel = [] { return mallocCopy({1, 2, 3, 4}); };
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1);
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1);
    EXPECT_EQ(getScreenshotCounter(), 2);
    decrementScreenshotCounter();
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1) << "after a step back the same file again";
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"shot0.tga", "shot1.tga"}));

    // Counters with more than three digits get their whole name.
    setScreenshotCounter(1000);
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1);
    setScreenshotCounter(2147483646);
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1);
    EXPECT_TRUE(std::filesystem::exists("shot1000.tga"));
    EXPECT_TRUE(std::filesystem::exists("shot2147483646.tga"));

    // A failed write leaves the counter; the counter never goes below 0.
    setScreenshotCounter(5);
    EXPECT_EQ(writeNumberedTGA("no-such-folder/shot", 1, 1, 32, pixel()), -1);
    EXPECT_EQ(getScreenshotCounter(), 5);
    setScreenshotCounter(0);
    decrementScreenshotCounter();
    EXPECT_EQ(getScreenshotCounter(), 0);
}

// A new run starts its counter at 0: its shots go after those already in
// the folder, and only its own last shot is written again.
TEST(ScreenshotWriter, NumberedFilesGoPastEarlierShots) {
    ScratchFolder folder;
    auto pixel = [] { return mallocCopy({1, 2, 3, 4}); };
    const std::vector<uint8_t> old{'o', 'l', 'd'};
    writeFile("shot0.tga", old);
    writeFile("shot7.tga", old);
    writeFile("shot.tga", {'x'});
    writeFile("shotx9.tga", {'x'});
    writeFile("other12.tga", {'x'});
    setScreenshotCounter(0);
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1);
    EXPECT_EQ(getScreenshotCounter(), 9);
    decrementScreenshotCounter();
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1) << "the sequence's second capture";
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1);
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"other12.tga", "shot.tga", "shot0.tga", "shot7.tga",
                                                        "shot8.tga", "shot9.tga", "shotx9.tga"}));
    EXPECT_EQ(readFile("shot0.tga"), old);
    EXPECT_EQ(readFile("shot7.tga"), old);

    // A step back onto an earlier run's shot does not overwrite it.
    setScreenshotCounter(7);
    EXPECT_EQ(writeNumberedTGA("shot", 1, 1, 32, pixel()), 1);
    EXPECT_EQ(readFile("shot7.tga"), old);
    EXPECT_TRUE(std::filesystem::exists("shot10.tga"));
}

// Paints the frame buffer: bottom 4 rows blue (the status bar's place),
// then a red band, a green band above it, and one white pixel at the top
// left corner.
void paintFrame(int width, int height) {
    glViewport(0, 0, width, height);
    glEnable(GL_SCISSOR_TEST);
    auto fill = [](int x, int y, int w, int h, float r, float g, float b) {
        glScissor(x, y, w, h);
        glClearColor(r, g, b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    };
    fill(0, 0, width, 4, 0, 0, 1);
    fill(0, 4, width, (height - 4) / 2, 1, 0, 0);
    fill(0, 4 + (height - 4) / 2, width, height, 0, 1, 0);
    fill(0, height - 1, 1, 1, 1, 1, 1);
    glDisable(GL_SCISSOR_TEST);
}

TEST(ScreenshotWriter, ScreenRectangleReadsBackInImageMagick) {
    const int width = 64, height = 36;
    if (!makeTestGlContext(width, height)) GTEST_SKIP() << "no offscreen OpenGL context";
    if (!imageMagickAvailable()) GTEST_SKIP() << "ImageMagick (convert, identify) not installed";
    ScratchFolder folder;
    paintFrame(width, height);

    setScreenshotCounter(0);
    ASSERT_EQ(saveScreenRect("screenshot", 0, 4, width, height), 1);
    ASSERT_EQ(saveScreenRectAs("named.tga", 0, 4, width, height), 1);
    EXPECT_EQ(getScreenshotCounter(), 1);
    EXPECT_EQ(readFile("screenshot0.tga"), readFile("named.tga"));

    EXPECT_EQ(runCommand("identify -format '%m %w %h' screenshot0.tga"), "TGA 64 32");
    // The file says bottom-left origin; ImageMagick applies it on -auto-orient.
    // Its fourth byte is 255 - alpha (0 for this opaque frame), so read RGB.
    std::string rgb = runCommand("convert screenshot0.tga -auto-orient -alpha off -depth 8 rgb:-");
    ASSERT_EQ(rgb.size(), static_cast<size_t>(64 * 32 * 3));
    auto at = [&](int column, int rowFromTop) {
        const char* p = rgb.data() + (static_cast<size_t>(rowFromTop) * 64 + column) * 3;
        return std::vector<uint8_t>{static_cast<uint8_t>(p[0]), static_cast<uint8_t>(p[1]),
                                    static_cast<uint8_t>(p[2])};
    };
    EXPECT_EQ(at(0, 0), (std::vector<uint8_t>{255, 255, 255})) << "top left marker";
    EXPECT_EQ(at(1, 0), (std::vector<uint8_t>{0, 255, 0}));
    EXPECT_EQ(at(63, 15), (std::vector<uint8_t>{0, 255, 0}));
    EXPECT_EQ(at(63, 16), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(at(0, 31), (std::vector<uint8_t>{255, 0, 0})) << "the blue rows below were left out";

    // Converted to PNG it keeps size and colours.
    EXPECT_EQ(runCommand("convert screenshot0.tga -auto-orient -alpha off png:- | identify -format '%m %w %h' -"),
              "PNG 64 32");

    // Our own loader reads it too (rows in file order: bottom row first).
    TgaImage image;
    ASSERT_EQ(readTGAFile("screenshot0.tga", 0, image), TGA_OK);
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 32);
    const unsigned char* bottomLeft = image.pixels;
    EXPECT_EQ(std::vector<uint8_t>(bottomLeft, bottomLeft + 4), (std::vector<uint8_t>{255, 0, 0, 0}));
    freeTGAImage(image);

    // Empty and reversed rectangles write nothing.
    EXPECT_EQ(saveScreenRect("screenshot", 0, 10, width, 10), -1);
    EXPECT_EQ(saveScreenRectAs("reversed.tga", width, 0, 0, height), -1);
    EXPECT_FALSE(std::filesystem::exists("reversed.tga"));
    EXPECT_EQ(getScreenshotCounter(), 1);
}

}  // namespace
