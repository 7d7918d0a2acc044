// FrameGraphE2eTest.cpp -- the frame-time graph over the running view: it
// is seen on screen but not in screenshots nor in the polygon count, and
// the status bar follows a frame-time measurement while the graph is on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "e2eHarness.h"
#include "e2ePictures.h"

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
