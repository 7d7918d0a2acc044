// MeasureScriptsTest.cpp -- the measurement group of script functions.
#include <gtest/gtest.h>

#include <lua.hpp>

#include <chrono>
#include <cstring>
#include <thread>

#include "app/mainLoop.h"
#include "app/measure.h"
#include "script/scriptFunctions.h"

namespace {

class MeasureScripts : public ::testing::Test {
protected:
    void SetUp() override {
        L = luaL_newstate();
        luaL_openlibs(L);
        registerMeasurementGroup(L);
    }
    void TearDown() override { lua_close(L); }
    // Runs a chunk; true when it ran without a script error.
    bool run(const char* chunk) {
        if (luaL_dostring(L, chunk) == LUA_OK) return true;
        lua_pop(L, 1);
        return false;
    }
    double global(const char* name) {
        lua_getglobal(L, name);
        double value = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return value;
    }
    lua_State* L = nullptr;
};

TEST_F(MeasureScripts, FrameSamplesMeasurementAndPolygons) {
    ASSERT_TRUE(run("r0 = measureFrameTime()"));
    EXPECT_EQ(global("r0"), 0.0) << "0 right after start";
    ASSERT_TRUE(run("setFrameSamples(2.9)"));
    EXPECT_EQ(frameSamples, 2) << "truncated to a whole count";
    ASSERT_TRUE(run("setFrameSamples(0)"));
    EXPECT_EQ(frameSamples, 2) << "a count below 1 is refused";

    ASSERT_TRUE(run("measureFrameTime()"));
    EXPECT_EQ(measureCountdown, 2);
    frameSeconds = 0.003;
    measurementStep();
    frameSeconds = 0.005;
    measurementStep();
    ASSERT_TRUE(run("r1 = measureFrameTime()"));
    EXPECT_NEAR(global("r1"), 4.0, 1e-4) << "average of the finished run, float arithmetic";

    lastScenePolygons = 123456;
    ASSERT_TRUE(run("p = getSceneNumPolygons()"));
    EXPECT_EQ(global("p"), 123456.0);
    EXPECT_FALSE(run("setFrameSamples()")) << "a missing number is a script error";
}

TEST_F(MeasureScripts, TakeScreenShotRequestsANamedShot) {
    ASSERT_TRUE(run("takeScreenShot('shot.tga')"));
    EXPECT_STREQ(shotName, "shot.tga");
    EXPECT_EQ(shotNamePending, 1);
    EXPECT_EQ(screenshotRequested, 1);
    shotNamePending = 0;
    screenshotRequested = 0;
    EXPECT_FALSE(run("takeScreenShot()")) << "a missing name is a script error";
    EXPECT_EQ(screenshotRequested, 0);
}

TEST_F(MeasureScripts, TimeGetTimeCountsMilliseconds) {
    ASSERT_TRUE(run("t0 = timeGetTime()"));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(run("t1 = timeGetTime()"));
    double elapsed = global("t1") - global("t0");
    if (elapsed < 0) elapsed += 4294967296.0;  // the 32-bit clock wrapped
    EXPECT_GE(elapsed, 30.0);
    EXPECT_LT(elapsed, 5000.0) << "generous bound for a loaded machine";
}

}  // namespace
