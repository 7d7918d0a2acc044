// FrameGraphE2eTest.cpp -- the frame-time graph over the running view: it
// is seen on screen but not in screenshots nor in the polygon count, and
// the status bar follows a frame-time measurement while the graph is on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

// An RGB picture with the top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(int x, int yFromTop) const { return &rgb[(size_t(yFromTop) * width + x) * 3]; }
};

// A 32-bit screenshot (bottom-left origin, BGRA).
Picture readTga(const std::string& bytes) {
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
Picture readPpm(const std::string& bytes) {
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
double meanDifference(const Picture& a, const Picture& b, int x0, int y0, int width, int height) {
    if (a.width < x0 + width || b.width < x0 + width || a.height < y0 + height || b.height < y0 + height) return -1;
    double sum = 0;
    for (int y = y0; y < y0 + height; ++y) {
        for (int x = x0; x < x0 + width; ++x) {
            for (int c = 0; c < 3; ++c) sum += std::abs(int(a.at(x, y)[c]) - int(b.at(x, y)[c]));
        }
    }
    return sum / (3.0 * width * height);
}

}  // namespace

TEST(FrameGraphEndToEnd, ShownOnScreenButNotInShotsOrPolygonsAndTheStatusBarFollowsAMeasurement) {
    if (!e2eAvailable()) GTEST_SKIP() << "needs " << e2eBinary() << ", xvfb-run, xdotool, xwininfo, import";
    std::string work = e2eWorkFolder();
    std::string script = std::string(e2eLuaUntilFile) +
                         "WORK = '" + work + "'\n"
                         "setWindowMode(); setScreenSize(640, 480); setHMSize(129)\n"
                         "createWindow('Graph test')\n"
                         "lockCamera(); setTerrainAlgorithm('brute'); turnTerrainOn(); chdir(WORK)\n"
                         "setCameraAutoHeight(102, 64, 180, 10)\n"
                         "function frames(n) for i = 1, n do renderScene() end end\n"
                         "t0 = timeGetTime(); frames(20); perFrame = (timeGetTime() - t0) / 20\n"
                         "without = getSceneNumPolygons()\n"
                         "takeScreenShot('without.tga'); frames(5)\n"
                         "turnFrameGraphOn(); frames(20)\n"
                         "with = getSceneNumPolygons()\n"
                         "takeScreenShot('with.tga'); frames(5)\n"
                         "print(format('polygons %d %d', without, with))\n"
                         // A measurement with the status bar shown, lasting about three
                         // seconds (the bar is updated once a second): its progress, then
                         // its average.
                         "samples = floor(min(max(3000 / max(perFrame, 1), 20), 2000))\n"
                         "print(format('samples %d', samples))\n"
                         "setFrameSamples(samples); measureFrameTime(); frames(samples + 5)\n"
                         "start = timeGetTime()\n"
                         "while timeGetTime() - start < 2500 do renderScene() end\n"
                         "print('ready')\n"
                         "untilFile(WORK .. '/view-done')\n";
    ViewerOptions options;
    options.timeoutSeconds = 180;
    options.environment = {{"MORVISTA_ECHO_STATUS", "1"}};
    options.steps = {e2eWaitOutputStep, "waitWindow 'Graph test'", "waitOutput '^ready'", "viewShot view.ppm",
                     "touch \"$WORK/view-done\""};
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);

    int without = -1, with = -2;
    size_t at = result.out.find("polygons ");
    ASSERT_NE(at, std::string::npos) << failureContext(result);
    ASSERT_EQ(sscanf(result.out.c_str() + at, "polygons %d %d", &without, &with), 2);
    EXPECT_GT(without, 0);
    EXPECT_EQ(with, without) << "the graph is not counted as scene polygons";

    Picture shotWithout = readTga(e2eReadFile(work + "/without.tga"));
    Picture shotWith = readTga(e2eReadFile(work + "/with.tga"));
    Picture view = readPpm(e2eReadFile(work + "/view.ppm"));
    ASSERT_EQ(shotWith.width, 640) << failureContext(result);
    ASSERT_EQ(shotWith.height, 480);
    ASSERT_EQ(view.width, 640) << "the drawing area as it was on screen" << failureContext(result);
    ASSERT_EQ(view.height, 480);
    // The graph sits 10 pixels from the bottom left corner: 600 x 120 here.
    int x = 10, y = 480 - 10 - 120, width = 600, height = 120;
    EXPECT_LT(meanDifference(shotWith, shotWithout, x, y, width, height), 1.0) << "no graph in the screenshot";
    EXPECT_GT(meanDifference(view, shotWith, x, y, width, height), 10.0) << "the graph is on screen";
    EXPECT_LT(meanDifference(view, shotWith, 0, 0, 640, y - 10), 10.0) << "the view above the graph is the same";

    int samples = 0;
    at = result.out.find("samples ");
    ASSERT_NE(at, std::string::npos);
    sscanf(result.out.c_str() + at, "samples %d", &samples);
    std::string progress = " measuring ", done = " measured " + std::to_string(samples) + " frames: avg ";
    EXPECT_NE(result.err.find(progress), std::string::npos) << "progress while the run lasts" << result.err;
    EXPECT_NE(result.err.find(done), std::string::npos) << "its average at the end" << result.err;
}
