// MovementTest.cpp -- mouse look and key movement, one pass at a time, and
// the movement thread's start, stop and exit.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <thread>

#include "controls/controlState.h"
#include "camera/camera.h"
#include "camera/movement.h"
#include "platform/platform.h"

namespace {
// Products of whole pixels with 0.15 and sums of a few such values.
constexpr float angleTolerance = 1e-5f;
// A few single-precision steps of 0.8 from the origin.
constexpr float stepTolerance = 1e-5f;

constexpr int centreX = 400, centreY = 300;

class MovementTest : public testing::Test {
protected:
    void SetUp() override {
        createCamera();
        setCameraAll(0, 0, 0, 0, 0);
        buildViewMatrix(0, 0);
        camera->moveSpeed = 0.8f;
        flyMode = 0;
        for (auto& key : keyState) key = 0;
        leftButtonDown = 0;
        lookMode = 0;
        menusHidden = 0;
        cameraLocked = 0;
        lookCentreX = centreX;
        lookCentreY = centreY;
        platformSetCursorPos(centreX, centreY);
    }
    void TearDown() override {
        stopMovementThread();
        for (auto& key : keyState) key = 0;
    }

    static void hold(std::initializer_list<int> keys) {
        for (int key : keys) keyState[key] = 1;
    }
    static void cursorAt(int x, int y) {
        int cx = 0, cy = 0;
        platformGetCursorPos(cx, cy);
        EXPECT_EQ(cx, x);
        EXPECT_EQ(cy, y);
    }
};

TEST_F(MovementTest, MouseLookTurnsTiltsAndClamps) {
    struct Case {
        int dx, dy;
        float startVertical;
        float turn, endVertical;
        const char* label;
    } cases[] = {
        {10, 0, 0, 1.5f, 0, "10 px right turns right"},
        {-10, 0, 0, -1.5f, 0, "10 px left turns left"},
        {0, -10, 0, 0, -1.5f, "10 px up tilts up"},
        {0, 10, 20, 0, 21.5f, "10 px down tilts down"},
        {0, 700, 0, 0, 90, "a 700 px push down stops at 90"},
        {0, -700, 0, 0, -90, "a 700 px push up stops at -90"},
        {10, 0, 120, -1.5f, 90, "upside down after a script: reversed turn, then clamped"},
        {10, 0, -120, -1.5f, -90, "upside down the other way"},
        {10, 0, 90, 1.5f, 90, "exactly straight down is not upside down"},
        {-4, 6, 0, -0.6f, 0.9f, "both at once"},
    };
    for (const Case& c : cases) {
        setCameraAll(0, 0, 0, 30, c.startVertical);
        lookMode = 1;
        platformSetCursorPos(centreX + c.dx, centreY + c.dy);
        cameraControlStep();
        EXPECT_NEAR(camera->horizontalAngle, 30 + c.turn, angleTolerance) << c.label;
        EXPECT_NEAR(camera->verticalAngle, c.endVertical, angleTolerance) << c.label;
        cursorAt(centreX, centreY);
    }
}

TEST_F(MovementTest, MouseLookNeedsALookAndAMovedCursor) {
    // Each of the three ways to look turns the camera; with none it stays
    // and the cursor is left where it is.
    std::atomic<int>* flags[] = {&lookMode, &menusHidden};
    for (int way = 0; way < 4; ++way) {
        setCameraAll(0, 0, 0, 0, 0);
        if (way == 1) leftButtonDown = 1;
        if (way >= 2) *flags[way - 2] = 1;
        platformSetCursorPos(centreX + 20, centreY);
        cameraControlStep();
        EXPECT_NEAR(camera->horizontalAngle, way == 0 ? 0.0f : 3.0f, angleTolerance) << "way " << way;
        if (way == 0) cursorAt(centreX + 20, centreY);
        leftButtonDown = 0;
        lookMode = 0;
        menusHidden = 0;
    }
    // Cursor resting on the centre: nothing changes.
    lookMode = 1;
    setCameraAll(0, 0, 0, 10, 5);
    platformSetCursorPos(centreX, centreY);
    cameraControlStep();
    EXPECT_EQ(camera->horizontalAngle, 10.0f);
    EXPECT_EQ(camera->verticalAngle, 5.0f);
}

TEST_F(MovementTest, KeysStepOncePerPairPerPass) {
    const float s = 0.8f;
    struct Case {
        std::initializer_list<int> keys;
        float dx, dz;
        const char* label;
    } cases[] = {
        {{'W'}, 0, -s, "W forward"},
        {{keyUp}, 0, -s, "Up forward"},
        {{keyUp, 'W'}, 0, -s, "Up and W: one step"},
        {{'S'}, 0, s, "S back"},
        {{keyUp, keyDown}, 0, 0, "Up and Down cancel"},
        {{'A'}, -s, 0, "A left"},
        {{keyRight, 'D'}, s, 0, "Right and D: one step"},
        {{keyLeft, 'D'}, 0, 0, "Left and D cancel"},
        {{'W', 'D'}, s, -s, "diagonal, s * sqrt 2 long"},
        {{keyDown, keyLeft, 'S', 'A'}, -s, s, "diagonal back left"},
        {{'Q', 'E', 'X'}, 0, 0, "other keys do nothing"},
    };
    for (const Case& c : cases) {
        SetUp();
        hold(c.keys);
        cameraControlStep();
        EXPECT_NEAR(camera->x, c.dx, stepTolerance) << c.label;
        EXPECT_EQ(camera->y, 0.0f) << c.label;
        EXPECT_NEAR(camera->z, c.dz, stepTolerance) << c.label;
    }
    // Steps add up pass by pass, with the speed read at each step; a
    // negative speed reverses the keys.
    SetUp();
    hold({'W'});
    for (int pass = 0; pass < 5; ++pass) cameraControlStep();
    EXPECT_NEAR(camera->z, -4.0f, stepTolerance);
    camera->moveSpeed = -1.0f;
    cameraControlStep();
    EXPECT_NEAR(camera->z, -3.0f, stepTolerance);
}

TEST_F(MovementTest, FlyingForwardFollowsTheTilt) {
    flyMode = 1;
    setCameraAll(0, 10, 0, 0, 30);
    buildViewMatrix(30, 0);
    hold({'W'});
    cameraControlStep();
    EXPECT_NEAR(camera->y, 10 - 0.8f * 0.5f, stepTolerance);
    EXPECT_NEAR(camera->z, -0.8f * 0.8660254f, stepTolerance);
}

TEST_F(MovementTest, LockedCameraIsLeftAlone) {
    cameraLocked = 1;
    lookMode = 1;
    setCameraAll(1, 2, 3, 4, 5);
    hold({'W', 'D'});
    platformSetCursorPos(centreX + 50, centreY - 50);
    cameraControlStep();
    EXPECT_EQ(camera->x, 1.0f);
    EXPECT_EQ(camera->y, 2.0f);
    EXPECT_EQ(camera->z, 3.0f);
    EXPECT_EQ(camera->horizontalAngle, 4.0f);
    EXPECT_EQ(camera->verticalAngle, 5.0f);
    cursorAt(centreX + 50, centreY - 50);
}

TEST_F(MovementTest, ThreadMovesTheCameraInWholeStepsAndStops) {
    flyMode = 1;
    hold({'W'});
    startMovementThread();
    startMovementThread();  // a second start does not add a second thread
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (camera->z > -2.0f && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // Written by the thread and read here while it runs: atomics, no race.
    float x = 0, y = 0, z = 0;
    getCameraPositionXYZ(x, y, z);
    EXPECT_LE(z, -2.0f) << "the thread made no steps within 5 s";
    stopMovementThread();
    getCameraPositionXYZ(x, y, z);
    float steps = -z / 0.8f;
    // Whole passes of 0.8 each; single-precision sums of up to ~10 steps.
    EXPECT_NEAR(steps, std::round(steps), 1e-4f);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(camera->z, z) << "no step after the thread was stopped";
    stopMovementThread();  // stopping twice is harmless
}

TEST_F(MovementTest, ThreadSharesTheCameraWithTheMainThread) {
    // The main thread does what frames, scripts and menus do while the
    // movement thread looks and walks. Meant for the ThreadSanitizer build
    // (MORVISTA_TSAN), which reports any unguarded shared value.
    hold({'W', 'D'});
    lookMode = 1;
    startMovementThread();
    for (int i = 0; i < 100; ++i) {
        platformSetCursorPos(centreX + (i % 7) - 3, centreY + (i % 5) - 2);
        if (flyMode == 0) followTerrain();
        buildViewMatrix(camera->verticalAngle, camera->horizontalAngle);
        if (i % 10 == 0) setCameraAll(1, 20, 1, 0, 0);
        if (i % 25 == 0) toggleCrouch();
        if (i % 30 == 0) flyMode = 1 - flyMode;
        if (i % 40 == 0) setMoveSpeedLocked(0.5f + 0.01f * i);
        float x, y, z;
        getCameraPositionXYZ(x, y, z);
        EXPECT_TRUE(std::isfinite(x) && std::isfinite(y) && std::isfinite(z));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stopMovementThread();
    if (standing == 0) toggleCrouch();
}

TEST(MovementExitTest, ProcessExitsCleanlyWithTheThreadRunning) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            keyState['W'] = 1;
            startMovementThread();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}
}  // namespace
