// SplineTest.cpp -- key point files, spline evaluation, the spline table and
// the spline script group.
#include <gtest/gtest.h>
#include <lua.hpp>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "camera/camera.h"
#include "camera/spline.h"
#include "scene/sceneConfig.h"
#include "script/scriptFunctions.h"
#include "util/output.h"

namespace {
// Cubic evaluation of coordinates up to 30 in single precision.
constexpr float curveTolerance = 1e-5f;

std::string captured;
void captureOutput(const char* text, size_t length) { captured.append(text, length); }

std::string tempPath(const std::string& name) {
    return testing::TempDir() + "morvista-spline-" + std::to_string(getpid()) + "-" + name;
}

std::string writeFile(const std::string& name, const std::string& text) {
    std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const char* xAxisPoints = "0 0 0\n10 0 0\n20 0 0\n30 0 0\n";

class SplineTest : public testing::Test {
protected:
    lua_State* L = nullptr;
    void SetUp() override {
        resetSplineTable();
        captured.clear();
        setOutputHook(captureOutput);
        L = luaL_newstate();
        luaL_openlibs(L);
        registerCameraGroup(L);
        registerSplineGroup(L);
    }
    void TearDown() override {
        lua_close(L);
        setOutputHook(nullptr);
        resetSplineTable();
    }
    std::string run(const std::string& chunk) {
        if (luaL_dostring(L, chunk.c_str()) == LUA_OK) return "";
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
    static void expectPoint(int index, float t, float x, float y, float z, const std::string& label) {
        float px = NAN, py = NAN, pz = NAN;
        interpolateSplineSlot(index, t, px, py, pz);
        EXPECT_NEAR(px, x, curveTolerance) << label << " at t " << t;
        EXPECT_NEAR(py, y, curveTolerance) << label << " at t " << t;
        EXPECT_NEAR(pz, z, curveTolerance) << label << " at t " << t;
    }
};

TEST_F(SplineTest, FourPointsOnTheXAxis) {
    int index = loadSplineSlot(writeFile("xaxis.txt", xAxisPoints).c_str(), 8);
    ASSERT_EQ(index, 0);
    struct Case {
        float t, x;
    } cases[] = {
        {0, 0},   {1, 4.375f}, {2, 10}, {3, 15}, {4, 20}, {6, 30},
        {8, 30},  // the full length: the last key point
        {100, 30},
        {-3, 0},  // before the start: the first key point
    };
    for (const Case& c : cases) expectPoint(index, c.t, c.x, 0, 0, "x axis");
    // The last segment (t 6 to 8) comes to rest on the last key point: it
    // stays finite and ends there.
    for (float t = 6.0f; t <= 8.0f; t += 0.25f) {
        float x = NAN, y = NAN, z = NAN;
        interpolateSplineSlot(index, t, x, y, z);
        EXPECT_TRUE(std::isfinite(x)) << t;
        EXPECT_LT(std::fabs(x - 30), 5.0f) << t;
    }
}

TEST_F(SplineTest, CurvePassesThroughEveryKeyPointSmoothly) {
    const float keys[5][3] = {{1, 2, 3}, {4, -1, 7}, {9, 5, 2}, {-3, 0, 0}, {6, 6, 6}};
    std::string text;
    for (const auto& k : keys)
        text += std::to_string(k[0]) + " " + std::to_string(k[1]) + "\t" + std::to_string(k[2]) + "\n";
    int index = loadSplineSlot(writeFile("five.txt", text).c_str(), 10);
    // Key point k at t = k * 10 / 5.
    for (int k = 0; k < 5; ++k) expectPoint(index, 2.0f * k, keys[k][0], keys[k][1], keys[k][2], "key point");
    // No jump where one segment hands over to the next.
    for (int k = 1; k < 5; ++k) {
        float ax, ay, az, bx, by, bz;
        interpolateSplineSlot(index, 2.0f * k - 0.001f, ax, ay, az);
        interpolateSplineSlot(index, 2.0f * k + 0.001f, bx, by, bz);
        EXPECT_LT(std::fabs(ax - bx) + std::fabs(ay - by) + std::fabs(az - bz), 0.05f) << "joint " << k;
    }
}

TEST_F(SplineTest, KeyPointFileTokens) {
    struct Case {
        const char* text;
        int count;
        float values[6];
        const char* label;
    } cases[] = {
        {"1 2 3 4 5 6 7", 2, {1, 2, 3, 4, 5, 6}, "seventh number ignored"},
        {"1\t2\n\n3   4\r\n5 6 7 8", 2, {1, 2, 3, 4, 5, 6}, "any white space, two trailing numbers ignored"},
        {"1.5e1 -2.25 +3 abc 12xyz .5", 2, {15, -2.25f, 3, 0, 12, 0.5f}, "not a number reads 0, leading digits count"},
        {"1 2", 0, {}, "fewer than three numbers"},
        {"", 0, {}, "empty file"},
    };
    for (const Case& c : cases) {
        int count = -1;
        float* points = loadKeyPoints(writeFile("tokens.txt", c.text).c_str(), count);
        ASSERT_NE(points, nullptr) << c.label;
        EXPECT_EQ(count, c.count) << c.label;
        for (int i = 0; i < 3 * count && i < 6; ++i) EXPECT_EQ(points[i], c.values[i]) << c.label << " value " << i;
        delete[] points;
    }
    // A 300-character token is cut to its first 255 characters and still
    // counts as one token.
    std::string longToken = "4." + std::string(298, '0');
    int count = -1;
    float* points = loadKeyPoints(writeFile("long.txt", "1 2 3 " + longToken + " 5 6").c_str(), count);
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(points[3], 4.0f);
    EXPECT_EQ(points[5], 6.0f);
    delete[] points;

    EXPECT_EQ(loadKeyPoints(tempPath("missing.txt").c_str(), count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(SplineTest, ScriptLoadsNumberSlotsInOrderFailuresIncluded) {
    std::string good = writeFile("good.txt", xAxisPoints);
    std::string missing = tempPath("no-such-file.txt");
    ASSERT_EQ(run("a = loadSpline('" + good + "', 8)\n"
                  "b = loadSpline('" + missing + "', 8)\n"
                  "c = loadSpline('" + good + "', 4)\n"
                  "x, y, z = interpolateSpline(b, 3)\n"
                  "cx = interpolateSpline(c, 1)\n"),
              "");
    EXPECT_EQ(global("a"), 0);
    EXPECT_EQ(global("b"), 1);
    EXPECT_EQ(global("c"), 2);
    EXPECT_EQ(global("x"), 0);  // the failed slot is empty: the origin
    EXPECT_EQ(global("y"), 0);
    EXPECT_EQ(global("z"), 0);
    EXPECT_NEAR(global("cx"), 10, curveTolerance);  // duration 4: key point 1 at t 1
    EXPECT_NE(captured.find(missing), std::string::npos) << "the failed load names its file";
}

TEST_F(SplineTest, ScriptInterpolatesAtWholeTimesAndPrints) {
    std::string file = writeFile("xaxis.txt", xAxisPoints);
    ASSERT_EQ(run("i = loadSpline('" + file + "', 8.9)\n"  // duration 8
                  "x, y, z, extra = interpolateSpline(i, 2.9)\n"
                  "x1 = interpolateSpline(i + 0.7, 1)\n"),  // index 0
              "");
    EXPECT_NEAR(global("x"), 10, curveTolerance);  // evaluated at time 2
    EXPECT_EQ(global("y"), 0);
    EXPECT_EQ(global("z"), 0);
    lua_getglobal(L, "extra");
    EXPECT_TRUE(lua_isnil(L, -1)) << "three results";
    lua_pop(L, 1);
    EXPECT_NEAR(global("x1"), 4.375, curveTolerance);
    EXPECT_EQ(captured, "before pos\nPOS 10.000000 0.000000 0.000000\nbefore pos\nPOS 4.375000 0.000000 0.000000\n");
}

TEST_F(SplineTest, EdgeCasesGiveDefinedPoints) {
    int single = loadSplineSlot(writeFile("single.txt", "7 8 9").c_str(), 8);
    int none = loadSplineSlot(writeFile("none.txt", "7 8").c_str(), 8);
    int instant = loadSplineSlot(writeFile("instant.txt", xAxisPoints).c_str(), 0);
    int backwards = loadSplineSlot(writeFile("backwards.txt", xAxisPoints).c_str(), -8);
    struct Case {
        int index;
        float t;
        float x, y, z;
        const char* label;
    } cases[] = {
        {single, 0, 7, 8, 9, "one key point: that point"},
        {single, 5, 7, 8, 9, "one key point later on"},
        {none, 3, 0, 0, 0, "no key points: the origin"},
        {instant, 0, 30, 0, 0, "duration 0: the last key point"},
        {instant, 5, 30, 0, 0, "duration 0 later on"},
        {backwards, 3, 30, 0, 0, "negative duration: the last key point"},
        {-1, 3, 0, 0, 0, "index -1: the origin"},
        {999, 3, 0, 0, 0, "slot never loaded: the origin"},
        {1000, 3, 0, 0, 0, "index past the table: the origin"},
        {-2147483647, 3, 0, 0, 0, "huge negative index"},
    };
    for (const Case& c : cases) expectPoint(c.index, c.t, c.x, c.y, c.z, c.label);

    float x, y, z;
    evaluateSpline(nullptr, 1, x, y, z);
    EXPECT_EQ(x, 0.0f);
    int index = loadSplineSlot(writeFile("xaxis.txt", xAxisPoints).c_str(), 8);
    interpolateSplineSlot(index, NAN, x, y, z);
    EXPECT_EQ(x, 0.0f) << "a time that is no number counts as 0";
    interpolateSplineSlot(index, INFINITY, x, y, z);
    EXPECT_NEAR(x, 30.0f, curveTolerance) << "an endless time: the last key point";
}

TEST_F(SplineTest, FullTableRefusesFurtherLoads) {
    std::string file = writeFile("tiny.txt", "1 2 3");
    for (int i = 0; i < splineSlotCount; ++i) ASSERT_EQ(loadSplineSlot(file.c_str(), 1), i);
    captured.clear();
    ASSERT_EQ(run("full = loadSpline('" + file + "', 1)\nx, y, z = interpolateSpline(full, 0)"), "");
    EXPECT_EQ(global("full"), -1);
    EXPECT_EQ(global("x"), 0);
    EXPECT_NE(captured.find("all 1000 spline slots are taken"), std::string::npos) << captured;
    expectPoint(999, 0, 1, 2, 3, "the last slot still holds its spline");
}

TEST_F(SplineTest, GenerateRandomSplineWritesKeyPointLines) {
    std::string path = writeFile("random.txt", "old contents\n");
    ASSERT_EQ(run("generateRandomSpline('" + path + "', 0)"), "");
    EXPECT_EQ(readFile(path), "") << "count 0 empties the file";

    ASSERT_EQ(run("generateRandomSpline('" + path + "', 5.7)"), "");
    std::string text = readFile(path);
    std::regex line(R"(([0-9]+\.[0-9]{6}) 0 ([0-9]+\.[0-9]{6})\n)");
    int lines = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it, ++lines) {
        for (int g = 1; g <= 2; ++g) {
            double v = std::stod((*it)[g].str());
            EXPECT_GE(v, 1.0) << text;
            EXPECT_LE(v, 127.0) << text;
        }
    }
    EXPECT_EQ(lines, 5) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5) << "nothing but those lines: " << text;

    int count = -1;
    float* points = loadKeyPoints(path.c_str(), count);
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(count, 5);
    for (int i = 0; i < count; ++i) EXPECT_EQ(points[3 * i + 1], 0.0f);
    delete[] points;

    // A file that cannot be created: nothing happens, no error.
    EXPECT_EQ(run("generateRandomSpline('" + tempPath("no-dir/x.txt") + "', 3)"), "");
}

TEST_F(SplineTest, GenerateRandomSplineCoversTheLoadedMapAndRefusesHugeCounts) {
    std::string path = tempPath("spread.txt");
    std::regex line(R"(([0-9]+\.[0-9]{6}) 0 ([0-9]+\.[0-9]{6})\n)");
    const float mapExtentBefore = mapExtent;
    struct Extent {
        float extent;
        double high;  // key points lie in 1 .. high and reach past high / 2
    } extents[] = {{128.0f, 127.0}, {256.0f, 255.0}, {1024.0f, 1023.0}};
    for (const Extent& e : extents) {
        SCOPED_TRACE(e.extent);
        mapExtent = e.extent;
        ASSERT_EQ(run("generateRandomSpline('" + path + "', 1000)"), "");
        std::string text = readFile(path);
        int lines = 0;
        double largest = 0.0;
        for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it, ++lines) {
            for (int g = 1; g <= 2; ++g) {
                double v = std::stod((*it)[g].str());
                EXPECT_GE(v, 1.0);
                EXPECT_LE(v, e.high);
                largest = std::max(largest, v);
            }
        }
        EXPECT_EQ(lines, 1000) << "1000 key points are allowed";
        EXPECT_GT(largest, e.high / 2) << "the tour spreads over the whole map";
    }
    mapExtent = mapExtentBefore;

    std::string kept = writeFile("kept.txt", "1 0 1\n");
    for (const char* count : {"1001", "2147483647"}) {
        SCOPED_TRACE(count);
        std::string error = run("generateRandomSpline('" + kept + "', " + count + ")");
        EXPECT_NE(error.find("at most 1000"), std::string::npos) << error;
        EXPECT_EQ(readFile(kept), "1 0 1\n") << "a refused count leaves the file alone";
    }
}

TEST_F(SplineTest, WriteToFileAppends) {
    std::string path = tempPath("append.txt");
    remove(path.c_str());
    ASSERT_EQ(run("writeToFile('" + path + "', 'ab')\nwriteToFile('" + path + "', 'cd')"), "");
    EXPECT_EQ(readFile(path), "abcd");
    ASSERT_EQ(run("writeToFile('" + path + "', 'e\\0f\\n')\nwriteToFile('" + path + "', '')"), "");
    EXPECT_EQ(readFile(path), std::string("abcde\0f\n", 8)) << "every byte, none added";
    // A file that cannot be written is a script error naming it, never a
    // silent success.
    std::string missing = tempPath("no-dir/x.txt");
    EXPECT_NE(run("writeToFile('" + missing + "', 'x')").find("writeToFile: cannot write " + missing +
                                                          ": No such file or directory"),
              std::string::npos);
    EXPECT_NE(run("writeToFile('/dev/full', 'x')").find("writeToFile: cannot write /dev/full: No space left"),
              std::string::npos)
        << "a failed write counts as much as a failed open";
    EXPECT_NE(run("writeToFile('" + path + "')"), "") << "a missing text is a script error";
}

TEST_F(SplineTest, CameraTourOverTheTerrain) {
    // A random tour loaded from a generated file and followed with the
    // auto-height setter for 200 frames: the camera stays on the ground eye
    // height at every point, wherever the curve runs.
    std::string path = tempPath("tour.txt");
    std::string script =
        "generateRandomSpline('" + path + "', 10)\n"
        "tour = loadSpline('" + path + "', 200)\n"
        "bad = 0\n"
        "for frame = 0, 199 do\n"
        "  x, y, z = interpolateSpline(tour, frame)\n"
        "  setCameraPositionAutoHeight(x, z)\n"
        "  cx, cy, cz = getCameraPosition()\n"
        "  if cx ~= x or cz ~= z then bad = bad + 1 end\n"
        "end\n";
    mapExtent = 128;
    ASSERT_EQ(run(script), "");
    EXPECT_EQ(global("tour"), 0);
    EXPECT_EQ(global("bad"), 0);
    float x, y, z;
    getCameraPositionXYZ(x, y, z);
    EXPECT_FLOAT_EQ(y, groundEyeHeight(x, z));
    size_t positions = 0;
    for (size_t at = captured.find("POS "); at != std::string::npos; at = captured.find("POS ", at + 1)) ++positions;
    EXPECT_EQ(positions, 200u);
}
}  // namespace
