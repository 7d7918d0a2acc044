// MeasureTest.cpp -- frame-time measurement runs and the screenshot
// sequence, driven directly as the frame driver would drive them.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/input.h"
#include "app/mainLoop.h"
#include "app/measure.h"
#include "app/menus.h"
#include "app/window.h"
#include "image/screenshot.h"
#include "image/imageTestFiles.h"
#include "support/glTestContext.h"

using namespace imagetest;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// One frame of the frame driver's measurement part.
void frame(double seconds) {
    frameSeconds = seconds;
    measurementStep();
}

// Runs first in this program: no run has finished yet.
TEST(Measure, RunPrintsEachFrameThenSumAndAverage) {
    ConsoleCapture console;
    ASSERT_TRUE(setFrameSamples(3));
    EXPECT_STREQ(measurementStatus(), "") << "the status bar says nothing before the first run";
    EXPECT_EQ(measureFrameTime(), 0.0f) << "no finished run yet";
    frame(0.010);
    frame(0.020);
    frame(0.0305);
    frame(0.5);  // after the run: not measured
    std::vector<std::string> lines = linesOf(console.text());
    ASSERT_EQ(lines.size(), 4u) << console.text();
    EXPECT_EQ(lines[0], "10.00 milli sec");
    EXPECT_EQ(lines[1], "20.00 milli sec");
    EXPECT_EQ(lines[2], "30.50 milli sec");
    float sum = 0, average = 0;
    ASSERT_EQ(sscanf(lines[3].c_str(), "sum %f avg %f", &sum, &average), 2) << lines[3];
    EXPECT_NEAR(sum, 60.5f, 0.005f) << "printed to two decimals";
    EXPECT_NEAR(average, sum / 3, 0.005f) << "printed to two decimals";

    // The next call returns that run's average and starts a new run.
    EXPECT_NEAR(measureFrameTime(), 60.5f / 3, 1e-4f) << "float arithmetic";
    EXPECT_EQ(measureCountdown, 3);
}

TEST(Measure, RestartDuringARunPrintsOneSumForTheNewRun) {
    ASSERT_TRUE(setFrameSamples(3));
    startMeasurement();
    frame(0.001);
    frame(0.001);
    ConsoleCapture console;
    startMeasurement();  // key F again
    EXPECT_TRUE(setFrameSamples(5)) << "a new count applies to later runs only";
    frame(0.004);
    frame(0.004);
    frame(0.004);
    std::vector<std::string> lines = linesOf(console.text());
    ASSERT_EQ(lines.size(), 4u) << console.text();
    EXPECT_EQ(lines[3], "sum 12.00 avg 4.00");
    EXPECT_NEAR(measureFrameTime(), 4.0f, 1e-4f);

    // Counts below 1 would never end or divide by zero: refused.
    EXPECT_FALSE(setFrameSamples(0));
    EXPECT_FALSE(setFrameSamples(-3));
    EXPECT_EQ(frameSamples, 5);
}

TEST(Measure, StatusBarFollowsTheRunThenShowsItsAverage) {
    ConsoleCapture console;
    ASSERT_TRUE(setFrameSamples(4));
    startMeasurement();
    EXPECT_STREQ(measurementStatus(), "   measuring 0 / 4");
    frame(0.010);
    EXPECT_STREQ(measurementStatus(), "   measuring 1 / 4");
    frame(0.010);
    frame(0.020);
    EXPECT_STREQ(measurementStatus(), "   measuring 3 / 4");
    frame(0.020);
    EXPECT_STREQ(measurementStatus(), "   measured 4 frames: avg 15.00 ms");
    frame(0.5);
    EXPECT_STREQ(measurementStatus(), "   measured 4 frames: avg 15.00 ms") << "kept until the next run";
    startMeasurement();
    EXPECT_STREQ(measurementStatus(), "   measuring 0 / 4");
    for (int i = 0; i < 4; ++i) frame(0.001);
}

class ScreenshotSequence : public ::testing::Test {
protected:
    void SetUp() override {
        if (!makeTestGlContext(64, 48)) GTEST_SKIP() << "no offscreen OpenGL context";
        viewportWidth = 64;
        viewportHeight = 48;
        glViewport(0, 0, 64, 48);
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        setScreenshotCounter(0);
        showMenus();
    }
    // A shot as the frame driver completes it on the next frame.
    static void nextFrame() {
        if (screenshotRequested) screenshotSequence();
    }
    ScratchFolder folder;
};

TEST_F(ScreenshotSequence, TwoShotsWriteNumberedFilesAndRestoreTheMenus) {
    ConsoleCapture console;
    triggerShot();
    EXPECT_TRUE(menusHidden) << "hidden for the shot";
    EXPECT_EQ(screenshotRequested, 1);
    nextFrame();
    EXPECT_EQ(screenshotRequested, 0);
    EXPECT_FALSE(menusHidden) << "shown again after it";
    EXPECT_EQ(folder.files(), std::vector<std::string>{"screenshot0.tga"});
    EXPECT_EQ(getScreenshotCounter(), 1);

    triggerShot();
    triggerShot();  // pressed twice before the frame: still one shot
    nextFrame();
    EXPECT_FALSE(menusHidden);
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"screenshot0.tga", "screenshot1.tga"}));
    EXPECT_EQ(getScreenshotCounter(), 2);
    EXPECT_EQ(std::filesystem::file_size("screenshot1.tga"), 18u + 64 * 48 * 4);

    std::vector<std::string> lines = linesOf(console.text());
    std::vector<std::string> first(lines.begin(), lines.begin() + 5);
    EXPECT_EQ(first, (std::vector<std::string>{"triggerShot", "dothegrab", "screenshot sh glw h 0 64 48", "dothegrab",
                                               "screenshot sh glw h 0 64 48"}));
}

TEST_F(ScreenshotSequence, NamedShotWritesOnlyThatFile) {
    setScreenshotCounter(4);
    ConsoleCapture console;
    takeScreenShot("a.tga");
    nextFrame();
    EXPECT_EQ(folder.files(), std::vector<std::string>{"a.tga"});
    EXPECT_EQ(getScreenshotCounter(), 4) << "the counter does not move";
    EXPECT_EQ(shotNamePending, 0);
    EXPECT_NE(console.text().find("saving file a.tga\n"), std::string::npos);

    triggerShot();
    nextFrame();
    EXPECT_TRUE(std::filesystem::exists("screenshot4.tga")) << "the next numbered shot";

    // 99 characters fit; 100 are refused and no shot is requested.
    const std::string longest(SHOT_NAME_MAX, 'x');
    takeScreenShot((longest + "x").c_str());
    EXPECT_EQ(screenshotRequested, 0);
    EXPECT_FALSE(menusHidden);
    takeScreenShot(longest.c_str());
    nextFrame();
    EXPECT_TRUE(std::filesystem::exists(longest));
}

TEST_F(ScreenshotSequence, MenusHiddenByTheUserStayHidden) {
    hideMenus();
    triggerShot();
    nextFrame();
    EXPECT_TRUE(menusHidden);
    EXPECT_EQ(folder.files(), std::vector<std::string>{"screenshot0.tga"});
}

TEST_F(ScreenshotSequence, FailedCaptureNeverOverwritesTheShotBefore) {
    writeFile("screenshot0.tga", {'k', 'e', 'e', 'p'});
    setScreenshotCounter(1);
    std::filesystem::create_directory("screenshot1.tga");  // cannot be written as a file
    triggerShot();
    nextFrame();
    EXPECT_EQ(readFile("screenshot0.tga"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(getScreenshotCounter(), 1);
    EXPECT_FALSE(menusHidden) << "menus come back after a failed shot too";
}

}  // namespace
