// ShellTextTest.cpp -- the status line, and the rules the dialogs apply to
// what is typed into them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/dialogs.h"
#include "app/mainLoop.h"
#include "app/statusBar.h"
#include "scene/sceneConfig.h"

TEST(StatusLine, FormatsFramesAndText) {
    char line[160];
    formatStatusLine(line, sizeof line, 1.0f, "");
    EXPECT_STREQ(line, "FPS: 1 ");
    formatStatusLine(line, sizeof line, 61.9f, "  Scene polygons: 6");
    EXPECT_STREQ(line, "FPS: 61   Scene polygons: 6") << "the count is truncated";
}

TEST(StatusLine, FirstFrameShowsOneFrameAndHiddenBarShowsNothing) {
    setenv("MORVISTA_ECHO_STATUS", "1", 1);
    statusText[0] = '\0';
    createStatusBar();
    testing::internal::CaptureStderr();
    updateFps();
    updateFps();  // within the second: nothing new shown
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "status bar: FPS: 1 \n");
    destroyStatusBar();
    testing::internal::CaptureStderr();
    setStatusBarText("FPS: 9 ");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(DialogRules, SpeedTextDropsTrailingZerosButKeepsOneDecimal) {
    struct Case {
        float speed;
        const char* text;
    };
    const Case cases[] = {{0.8f, "0.8"}, {1.0f, "1.0"}, {2.5f, "2.5"}, {10.0f, "10.0"},
                          {0.125f, "0.125"}, {100.05f, "100.050003"}, {-3.0f, "-3.0"}};
    for (const Case& c : cases) EXPECT_EQ(formatSpeedText(c.speed), c.text) << c.speed;
}

TEST(DialogRules, FieldNumbersAreWholeNumbersOrZero) {
    struct Case {
        const char* text;
        bool isSigned;
        int value;
        bool ok;
    };
    const Case cases[] = {
        {"255", true, 255, true},     {" 12 ", true, 12, true},   {"-5", true, -5, true},
        {"-5", false, 0, false},      {"300", false, 300, true},  {"", true, 0, false},
        {"12abc", true, 0, false},    {"abc", true, 0, false},    {"1.5", true, 0, false},
        {"2147483648", true, 0, false}, {"-2147483648", true, -2147483647 - 1, true},
        {"4294967295", false, -1, true}, {"4294967296", false, 0, false},
    };
    for (const Case& c : cases) {
        bool ok = !c.ok;
        EXPECT_EQ(readDialogNumber(c.text, c.isSigned, &ok), c.value) << '"' << c.text << '"';
        EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
    }
}

TEST(Title, TheToleranceFollowsTheStatisticsOfTheAlgorithmsThatUseIt) {
    struct Case {
        int algorithm;
        float tolerance;
        const char* title;
    };
    const Case cases[] = {
        {terrainRoam, 0.0f, "STATS"},
        {terrainRoam, 1.5f, "STATS  tolerance 1.5 px"},
        {terrainGeomipmap, 2.0f, "STATS  tolerance 2 px"},
        {terrainBruteForce, 2.0f, "STATS"},
    };
    for (const Case& c : cases) EXPECT_EQ(frameTitle("STATS", c.algorithm, c.tolerance), c.title) << c.algorithm;
}

TEST(DialogRules, AToleranceIsAFiniteNumberOfPixelsFrom0Up) {
    struct Case {
        const char* text;
        bool ok;
        float pixels;
    };
    const Case cases[] = {
        {"1", true, 1.0f},       {" 0.5 ", true, 0.5f}, {"0", true, 0.0f},   {"2e1", true, 20.0f},
        {"", false, 0.0f},       {"-1", false, 0.0f},   {"abc", false, 0.0f}, {"1 px", false, 0.0f},
        {"nan", false, 0.0f},    {"inf", false, 0.0f},
    };
    for (const Case& c : cases) {
        float pixels = -7.0f;
        EXPECT_EQ(readToleranceText(c.text, pixels), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(pixels, c.ok ? c.pixels : -7.0f) << '"' << c.text << "\": a refused text leaves the value alone";
    }
}

TEST(DialogRules, BackgroundColourComponentsMustLieIn0To255) {
    const int valid[][3] = {{0, 0, 0}, {255, 255, 255}, {136, 156, 88}};
    const int invalid[][3] = {{300, 0, 0}, {0, -1, 0}, {0, 0, 256}};
    for (const auto& rgb : valid) EXPECT_TRUE(validBackgroundColour(rgb));
    for (const auto& rgb : invalid) EXPECT_FALSE(validBackgroundColour(rgb));
    // The swatch shows the low 8 bits: 300 previews as 44.
    EXPECT_EQ(readDialogNumber("300", false) & 0xFF, 44);
}

TEST(DialogRules, BackgroundColourTextMustBeWholeNumbersInRange) {
    struct Case {
        std::string texts[3];
        const char* refusal;  // nullptr: taken
    };
    const char* notWhole = "Colours must be whole numbers in range 0 - 255";
    const char* outOfRange = "Colours must be in range 0 - 255";
    const Case cases[] = {
        {{"10", " 20 ", "30"}, nullptr}, {{"abc", "0", "0"}, notWhole}, {{"0", "", "0"}, notWhole},
        {{"0", "0", "1.5"}, notWhole},   {{"300", "0", "0"}, outOfRange}, {{"0", "-1", "0"}, outOfRange},
    };
    for (const Case& c : cases) {
        int rgb[3] = {-7, -7, -7};
        const char* refusal = backgroundColourRefusal(c.texts, rgb);
        std::string label = c.texts[0] + "," + c.texts[1] + "," + c.texts[2];
        if (c.refusal) EXPECT_STREQ(refusal, c.refusal) << label;
        else EXPECT_EQ(refusal, nullptr) << label;
    }
    int rgb[3];
    const std::string taken[3] = {"10", "20", "30"};
    ASSERT_EQ(backgroundColourRefusal(taken, rgb), nullptr);
    EXPECT_EQ(rgb[0] * 10000 + rgb[1] * 100 + rgb[2], 102030);
}

TEST(DialogRules, ClippingDistancesMustBePositiveWithNearBelowFar) {
    struct Case {
        const char* nearText;
        const char* farText;
        const char* refusal;  // nullptr: taken
    };
    const char* positive = "Clipping distances must be greater than 0";
    const char* order = "Near clipping distance must be less than far clipping distance";
    const Case cases[] = {
        {"1", "10000", nullptr}, {"99", "100", nullptr}, {"500", "100", order}, {"100", "100", order},
        {"0", "100", positive},  {"1", "abc", positive}, {"-5", "100", positive},
    };
    for (const Case& c : cases) {
        int nearValue = 0, farValue = 0;
        const char* refusal = clipDistancesRefusal(c.nearText, c.farText, nearValue, farValue);
        if (c.refusal) EXPECT_STREQ(refusal, c.refusal) << c.nearText << " " << c.farText;
        else EXPECT_EQ(refusal, nullptr) << c.nearText << " " << c.farText;
    }
    int nearValue = 0, farValue = 0;
    ASSERT_EQ(clipDistancesRefusal("2", "500", nearValue, farValue), nullptr);
    EXPECT_EQ(nearValue, 2);
    EXPECT_EQ(farValue, 500);
}
