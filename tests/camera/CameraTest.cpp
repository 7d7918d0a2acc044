// CameraTest.cpp -- the camera model: view matrix, look-at, terrain
// following, crouching, movement steps, the view transform and the camera
// script group.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <lua.hpp>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "camera/camera.h"
#include "scene/sceneConfig.h"
#include "script/scriptFunctions.h"
#include "support/glTestContext.h"
#include "terrain/sceneGrids.h"
#include "util/output.h"

namespace {
// Single-precision trigonometry and products against exact values.
constexpr float matrixTolerance = 1e-6f;
// One single-precision step of a few units.
constexpr float stepTolerance = 1e-5f;
// Up to twenty single-precision additions of 0.6 and 0.1 to values near 20.
constexpr float frameTolerance = 1e-4f;

std::string captured;
void captureOutput(const char* text, size_t length) { captured.append(text, length); }

// A 5 x 5 grid with sample 10 x + 2 z, so at scale (1, 0.25, 1) the ground
// under grid point (x, z) is 2.5 x + 0.5 z.
constexpr int gridSize = 5;
float ground(int x, int z) { return 2.5f * x + 0.5f * z; }

void loadSyntheticGrid() {
    std::string path = testing::TempDir() + "morvista-camera-grid-" + std::to_string(getpid()) + ".raw";
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    for (int z = 0; z < gridSize; ++z)
        for (int x = 0; x < gridSize; ++x) fputc(10 * x + 2 * z, file);
    fclose(file);
    ASSERT_TRUE(bruteTerrain.load(path.c_str(), gridSize));
    bruteTerrain.setScale(1.0f, 0.25f, 1.0f);
    remove(path.c_str());
    mapExtent = gridSize - 1;
}

class CameraTest : public testing::Test {
protected:
    void SetUp() override {
        createCamera();
        loadSyntheticGrid();
        setCameraAll(0, 0, 0, 0, 0);
        buildViewMatrix(0, 0);
        camera->moveSpeed = initialMoveSpeed;
        flyMode = 0;
        standing = 1;
        eyeRaise = 4.0f;
        printCameraXZ = 0;
        captured.clear();
        setOutputHook(captureOutput);
    }
    void TearDown() override { setOutputHook(nullptr); }

    static void expectPosition(float x, float y, float z, float tolerance, const char* label) {
        EXPECT_NEAR(camera->x, x, tolerance) << label;
        EXPECT_NEAR(camera->y, y, tolerance) << label;
        EXPECT_NEAR(camera->z, z, tolerance) << label;
    }
};

TEST_F(CameraTest, CreatedWithItsInitialValues) {
    Ccamera fresh;
    EXPECT_EQ(fresh.x, 0.0f);
    EXPECT_EQ(fresh.horizontalAngle, 0.0f);
    EXPECT_EQ(fresh.verticalAngle, 0.0f);
    EXPECT_EQ(fresh.moveSpeed, 0.8f);
    EXPECT_EQ(fresh.mouseSensitivity, 0.15f);
    EXPECT_EQ(fresh.fieldOfView, 45.0f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(fresh.viewMatrix[i], i % 5 == 0 ? 1.0f : 0.0f) << "identity at " << i;
    EXPECT_EQ(fallStep, -0.6f);
    EXPECT_EQ(getCamera(), camera);
}

TEST_F(CameraTest, ViewMatrixTable) {
    const float r = 0.70710678f;  // cos 45 = sin 45
    struct Case {
        float vertical, horizontal;
        float m[16];
    } cases[] = {
        {0, 0, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {0, 90, {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1}},
        {0, 180, {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}},
        {90, 0, {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}},
        {45, 90, {0, r, -r, 0, 0, r, r, 0, 1, 0, 0, 0, 0, 0, 0, 1}},
        {-45, -90, {0, r, r, 0, 0, r, -r, 0, -1, 0, 0, 0, 0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        buildViewMatrix(c.vertical, c.horizontal);
        Cmatrix4 m = getViewMatrix();
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(m.m[i], c.m[i], matrixTolerance)
                << "element " << i << " at vertical " << c.vertical << ", horizontal " << c.horizontal;
    }
}

TEST_F(CameraTest, ViewMatrixRowsAreTheCameraAxes) {
    // Horizontal 90 looks along +x, horizontal 0 along -z; vertical +30 looks
    // down. The view direction is the negated backward row (2, 6, 10).
    struct Case {
        float vertical, horizontal;
        float forward[3];
        float right[3];
    } cases[] = {
        {0, 0, {0, 0, -1}, {1, 0, 0}},
        {0, 90, {1, 0, 0}, {0, 0, 1}},
        {0, -90, {-1, 0, 0}, {0, 0, -1}},
        {30, 0, {0, -0.5f, -0.8660254f}, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        buildViewMatrix(c.vertical, c.horizontal);
        Cmatrix4 m = getViewMatrix();
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(-m.m[2 + 4 * k], c.forward[k], matrixTolerance) << "forward " << k << " at " << c.horizontal;
            EXPECT_NEAR(m.m[4 * k], c.right[k], matrixTolerance) << "right " << k << " at " << c.horizontal;
        }
    }
}

TEST_F(CameraTest, LookAtPointTurnsTowardsTheTargetAndStaysLevel) {
    struct Case {
        float eye[3], target[3];
        float horizontal;
    } cases[] = {
        {{0, 10, 0}, {10, 0, 0}, 90},   {{0, 0, 0}, {-10, 0, 0}, -90}, {{0, 0, 0}, {0, 0, 10}, 180},
        {{0, 0, 0}, {0, 5, -10}, 0},    {{3, 1, 3}, {13, 1, -7}, 45},  {{3, 1, 3}, {-7, 9, 13}, -135},
    };
    for (const Case& c : cases) {
        setCameraAll(0, 0, 0, 7, 33);
        lookAtPoint(c.eye[0], c.eye[1], c.eye[2], c.target[0], c.target[1], c.target[2]);
        // angleBetween works in single precision: about 1e-5 degrees.
        EXPECT_NEAR(camera->horizontalAngle, c.horizontal, 1e-4f) << "target " << c.target[0] << "," << c.target[2];
        EXPECT_EQ(camera->verticalAngle, 0.0f);
        expectPosition(c.eye[0], c.eye[1], c.eye[2], 0.0f, "eye");
    }
    // Target straight below: no direction to turn to, the heading is kept.
    setCameraAll(0, 0, 0, 33, 10);
    lookAtPoint(2, 10, 2, 2, 0, 2);
    EXPECT_EQ(camera->horizontalAngle, 33.0f);
    EXPECT_EQ(camera->verticalAngle, 0.0f);
}

TEST_F(CameraTest, GroundEyeHeightClampsIntoTheGrid) {
    struct Case {
        float x, z;
        float expected;
    } cases[] = {
        {0, 0, ground(0, 0) + 8},      {2.9f, 1.2f, ground(2, 1) + 8}, {4, 4, ground(4, 4) + 8},
        {-7, 2, ground(0, 2) + 8},     {100, -3, ground(4, 0) + 8},   {1e30f, 1e30f, ground(4, 4) + 8},
        {NAN, 3.5f, ground(0, 3) + 8},
    };
    for (const Case& c : cases) EXPECT_FLOAT_EQ(groundEyeHeight(c.x, c.z), c.expected) << c.x << ", " << c.z;

    // A map extent beyond the loaded grid still reads inside it.
    mapExtent = 128;
    EXPECT_FLOAT_EQ(groundEyeHeight(50, 50), ground(4, 4) + 8);
    // An empty grid reads as ground 0.
    bruteTerrain.release();
    EXPECT_FLOAT_EQ(groundEyeHeight(2, 2), 8.0f);
}

TEST_F(CameraTest, FreshCameraEndsItsFirstWalkingFrameOnTheGround) {
    setCameraPositionRaw(0, 0, 0);
    followTerrain();
    expectPosition(0, ground(0, 0) + 8, 0, 0.0f, "first frame");
}

TEST_F(CameraTest, WalkingAndFallingFrameByFrame) {
    // Walk along +x over the rising ground, then back: climbing snaps the eye
    // up at once, a step down within the 3-unit band hovers, more falls 0.6
    // a frame. moveSpeed 1, one step per frame.
    setCameraAll(0.5f, ground(0, 0) + 8, 0, 90, 0);
    buildViewMatrix(0, 90);
    struct Frame {
        float step;  // moveForward distance before the frame
        float x, y;
    } frames[] = {
        {1, 1.5f, ground(1, 0) + 8},  // rise of 0.1 is not enough: snapped to 10.5
        {1, 2.5f, ground(2, 0) + 8},
        {1, 3.5f, ground(3, 0) + 8},
        {1, 4.0f, ground(4, 0) + 8},  // clamped at the map extent; y 18
        {-1, 3.0f, 18.0f},            // ground eye 15.5, band up to 18.5: hovers
        {-1, 2.0f, 17.4f},            // band up to 16: falls
        {-1, 1.0f, 16.8f},
        {-1, 0.0f, 16.2f},
        {0, 0.0f, 15.6f}, {0, 0.0f, 15.0f}, {0, 0.0f, 14.4f}, {0, 0.0f, 13.8f}, {0, 0.0f, 13.2f},
        {0, 0.0f, 12.6f}, {0, 0.0f, 12.0f}, {0, 0.0f, 11.4f},
        {0, 0.0f, 10.8f},  // within the band (8 to 11): stays
        {0, 0.0f, 10.8f},
    };
    int n = 0;
    for (const Frame& f : frames) {
        if (f.step != 0) moveForward(f.step);
        followTerrain();
        std::string label = "frame " + std::to_string(++n);
        expectPosition(f.x, f.y, 0, frameTolerance, label.c_str());
    }
}

TEST_F(CameraTest, FollowTerrainBandEdges) {
    float eye = ground(2, 2) + 8;
    struct Case {
        float startY, endY;
        const char* label;
    } cases[] = {
        {eye - 5, eye, "far below: up in one frame"},
        {eye - 0.05f, eye + 0.05f, "just below: rises 0.1"},
        {eye + 3, eye + 3, "top of the band: stays"},
        {eye + 13, eye + 12.4f, "above the band: falls 0.6"},
        {NAN, eye, "no height: put on the ground"},
    };
    for (const Case& c : cases) {
        setCameraPositionRaw(2, c.startY, 2);
        followTerrain();
        expectPosition(2, c.endY, 2, stepTolerance, c.label);
    }
    // An eye 10 above the band top reaches the band after 17 frames.
    setCameraPositionRaw(2, eye + 13, 2);
    int frames = 0;
    while (camera->y > eye + 3 && frames < 100) {
        followTerrain();
        ++frames;
    }
    EXPECT_EQ(frames, 17);
    EXPECT_NEAR(camera->y, eye + 2.8f, frameTolerance);
}

TEST_F(CameraTest, FollowTerrainClampsAndPrintsXZ) {
    printCameraXZ = 1;
    setCameraPositionRaw(-5, 0, mapExtent + 10);
    followTerrain();
    expectPosition(0, ground(0, 4) + 8, 4, 0.0f, "clamped");
    EXPECT_EQ(captured, "XZ 0.000000 4.000000\n");
    captured.clear();
    printCameraXZ = 0;
    followTerrain();
    EXPECT_EQ(captured, "");
}

TEST_F(CameraTest, CrouchHeights) {
    struct Case {
        int fly;
        float x, z;
        float crouchedY, standingY;
        const char* label;
    } cases[] = {
        {0, 1.5f, 2.5f, ground(1, 2) + 4, ground(1, 2) + 8, "walk"},
        {1, 3.2f, 0.7f, ground(3, 0) + 4, ground(3, 0) + 8, "fly"},
        {0, -6, 40, ground(0, 4) + 4, ground(0, 4) + 8, "outside the map: the edge is read"},
    };
    for (const Case& c : cases) {
        flyMode = c.fly;
        setCameraPositionRaw(c.x, 50, c.z);
        captured.clear();
        toggleCrouch();
        EXPECT_EQ(standing, 0) << c.label;
        EXPECT_EQ(captured, "crouch\n") << c.label;
        expectPosition(c.x, c.crouchedY, c.z, 0.0f, c.label);
        captured.clear();
        toggleCrouch();
        EXPECT_EQ(standing, 1) << c.label;
        EXPECT_EQ(captured, "") << c.label;
        expectPosition(c.x, c.standingY, c.z, 0.0f, c.label);
    }
}

TEST_F(CameraTest, MovementStepsFollowTheViewMatrix) {
    const float c30 = 0.8660254f;
    struct Case {
        int fly;
        float vertical, horizontal;
        float forward, sideways;
        float dx, dy, dz;
    } cases[] = {
        {0, 0, 0, 1, 0, 0, 0, -1},
        {0, 0, 0, 0, 1, 1, 0, 0},
        {0, 0, 90, 2, 0, 2, 0, 0},
        {0, 0, 90, 0, -1, 0, 0, -1},  // left of +x is -z
        {0, 90, 0, 1, 0, 0, 0, 0},   // straight down, walking: no step
        {1, 90, 0, 1, 0, 0, -1, 0},  // straight down, flying: down by d
        {1, -90, 45, 3, 0, 0, 3, 0},
        {0, 30, 0, 1, 0, 0, 0, -c30},       // walking downhill is slower
        {1, 30, 0, 1, 0, 0, -0.5f, -c30},
        {1, 30, 0, 0, 1, 1, 0, 0},          // sideways never changes height
    };
    for (const Case& c : cases) {
        flyMode = c.fly;
        setCameraAll(10, 20, 30, c.horizontal, c.vertical);
        buildViewMatrix(c.vertical, c.horizontal);
        if (c.forward != 0) moveForward(c.forward);
        if (c.sideways != 0) moveSideways(c.sideways);
        std::string label = "fly " + std::to_string(c.fly) + " v " + std::to_string(c.vertical) + " h " +
                            std::to_string(c.horizontal);
        expectPosition(10 + c.dx, 20 + c.dy, 30 + c.dz, stepTolerance, label.c_str());
    }
}

TEST_F(CameraTest, ApplyViewLoadsTheViewTransform) {
    if (!makeTestGlContext()) GTEST_SKIP() << "no offscreen OpenGL context";
    struct Case {
        int fly;
        float position[3], horizontal, vertical;
        float point[3];     // a world point...
        float eyeSpace[3];  // ...where the view transform puts it
        float endPosition[3];
    } cases[] = {
        // Flying at h 90 (looking +x): a point 5 ahead is 5 along -z in eye space.
        {1, {1, 20, 3}, 90, 0, {6, 20, 3}, {0, 0, -5}, {1, 20, 3}},
        // Looking straight down: a point below is ahead.
        {1, {2, 30, 2}, 0, 90, {2, 20, 2}, {0, 0, -10}, {2, 30, 2}},
        // Flying outside the map: nothing is clamped.
        {1, {-5, 20, 14}, 0, 0, {-5, 20, 10}, {0, 0, -4}, {-5, 20, 14}},
        // Flying into the ground: the eye stops at the walking eye height.
        {1, {2, 1, 2}, 0, 0, {2, 14, 0}, {0, 0, -2}, {2, ground(2, 2) + 8, 2}},
        // Flying under the map beside it: lifted over the nearest edge point.
        {1, {-5, -30, 14}, 0, 0, {-5, 10, 10}, {0, 0, -4}, {-5, ground(0, 4) + 8, 14}},
        // Walking outside the map: clamped and put on the ground first.
        {0, {-5, 0, 14}, 0, 0, {0, 18, 0}, {0, 18 - (ground(0, 4) + 8), -4}, {0, ground(0, 4) + 8, 4}},
    };
    for (const Case& c : cases) {
        flyMode = c.fly;
        setCameraAll(c.position[0], c.position[1], c.position[2], c.horizontal, c.vertical);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        applyView();
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        float m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        for (int r = 0; r < 3; ++r) {
            float v = m[r] * c.point[0] + m[4 + r] * c.point[1] + m[8 + r] * c.point[2] + m[12 + r];
            EXPECT_NEAR(v, c.eyeSpace[r], stepTolerance) << "row " << r << ", fly " << c.fly;
        }
        expectPosition(c.endPosition[0], c.endPosition[1], c.endPosition[2], 0.0f, "after applyView");
    }
}

// The camera script group through a Lua state.
class CameraScriptTest : public CameraTest {
protected:
    lua_State* L = nullptr;
    void SetUp() override {
        CameraTest::SetUp();
        L = luaL_newstate();
        luaL_openlibs(L);
        registerCameraGroup(L);
    }
    void TearDown() override {
        lua_close(L);
        CameraTest::TearDown();
    }
    std::string run(const char* chunk) {
        if (luaL_dostring(L, chunk) == LUA_OK) return "";
        std::string error = lua_tostring(L, -1);
        lua_pop(L, 1);
        return error;
    }
    double global(const char* name) {
        lua_getglobal(L, name);
        double v = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return v;
    }
};

TEST_F(CameraScriptTest, PlacesAndReadsTheCamera) {
    ASSERT_EQ(run("setCamera(1, 2, 3, 120, -200)\n"
                  "x, y, z, extra = getCameraPosition()\n"
                  "h, hExtra = getCameraHorizontalAngle()\n"
                  "v = getCameraVerticalAngle()\n"),
              "");
    EXPECT_EQ(global("x"), 1);
    EXPECT_EQ(global("y"), 2);
    EXPECT_EQ(global("z"), 3);
    EXPECT_EQ(global("h"), 120);
    EXPECT_EQ(global("v"), -200);  // setters store any angle as given
    lua_getglobal(L, "extra");
    EXPECT_TRUE(lua_isnil(L, -1)) << "getCameraPosition returns three results";
    lua_getglobal(L, "hExtra");
    EXPECT_TRUE(lua_isnil(L, -1)) << "an angle getter returns one result";
    lua_pop(L, 2);

    ASSERT_EQ(run("setCameraPosition(-4, 5.5, 6)"), "");
    expectPosition(-4, 5.5f, 6, 0.0f, "setCameraPosition");
    EXPECT_EQ(camera->horizontalAngle, 120.0f);

    ASSERT_EQ(run("setCameraLookAt(0, 10, 0, 10, 0, 0)"), "");
    EXPECT_NEAR(camera->horizontalAngle, 90.0f, 1e-4f);
    EXPECT_EQ(camera->verticalAngle, 0.0f);
    expectPosition(0, 10, 0, 0.0f, "setCameraLookAt");

    ASSERT_EQ(run("setCameraMoveSpeed(-2)"), "");
    EXPECT_EQ(getMoveSpeed(), -2.0f);
    setMoveSpeedLocked(1.25f);
    EXPECT_EQ(getMoveSpeed(), 1.25f);
}

TEST_F(CameraScriptTest, AutoHeightsStandOnTheGround) {
    ASSERT_EQ(run("setCameraAutoHeight(2.5, 1.5, 30, 45)"), "");
    expectPosition(2.5f, ground(2, 1) + 8, 1.5f, 0.0f, "setCameraAutoHeight");
    EXPECT_EQ(camera->horizontalAngle, 30.0f);
    EXPECT_EQ(camera->verticalAngle, 45.0f);

    // Outside the map the edge is read; the camera goes where it was asked.
    ASSERT_EQ(run("setCameraPositionAutoHeight(-5, 50)"), "");
    expectPosition(-5, ground(0, 4) + 8, 50, 0.0f, "setCameraPositionAutoHeight");

    ASSERT_EQ(run("setCameraLookAtAutoHeight(0, 0, 4, 0)"), "");
    expectPosition(0, ground(0, 0) + 8, 0, 0.0f, "setCameraLookAtAutoHeight");
    EXPECT_NEAR(camera->horizontalAngle, 90.0f, 1e-4f);
    EXPECT_EQ(camera->verticalAngle, 0.0f);
}

TEST_F(CameraScriptTest, MissingArgumentIsAScriptErrorAndChangesNothing) {
    setCameraAll(1, 2, 3, 4, 5);
    EXPECT_NE(run("setCamera(9, 9, 9, 9)"), "");
    EXPECT_NE(run("setCameraLookAt(9, 9, 9, 'x', 9, 9)"), "");
    EXPECT_NE(run("setCameraPositionAutoHeight(9)"), "");
    expectPosition(1, 2, 3, 0.0f, "unchanged");
    EXPECT_EQ(camera->horizontalAngle, 4.0f);
    EXPECT_EQ(camera->verticalAngle, 5.0f);
}
}  // namespace
