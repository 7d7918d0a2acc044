// CameraE2eTest.cpp -- the camera of the running program: a held movement
// key stepping the camera on the movement thread in fly mode (switched on
// from the Camera menu), and a script tour along a random spline.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

class CameraEndToEnd : public ViewerTest {};

// Lua helpers: marker(name) is true once the steps have made WORK/name;
// waitMarker keeps drawing frames (and handling keys) until then.
std::string scriptPrelude(const std::string& work) {
    return e2eMarkerPrelude(work) +
           "setWindowMode(); setScreenSize(800, 600); createWindow('Morvista')\n";
}

// The numbers after `prefix` on every line that starts with it.
std::vector<std::vector<double>> numbersAfter(const std::string& text, const std::string& prefix) {
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) != 0) continue;
        std::istringstream values(line.substr(prefix.size()));
        std::vector<double> row;
        double value;
        while (values >> value) row.push_back(value);
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

// W held for about a second in fly mode: whole steps of 0.8 along -z (the
// view's direction at angles 0, 0), x and the height unchanged, and about
// one step per 16 ms pass of the movement thread.
TEST_F(CameraEndToEnd, HeldWInFlyModeStepsAlongMinusZ) {
    const std::string script = scriptPrelude(e2eWorkFolder()) +
        "print('READY')\n"
        "waitMarker('fly')\n"
        "setCamera(64, 100, 120, 0, 0)\n"
        "for i = 1, 5 do renderScene() end\n"
        "print(string.format('START %f %f %f', getCameraPosition()))\n"
        "waitMarker('moved')\n"
        "print(string.format('END %f %f %f', getCameraPosition()))\n"
        "print(string.format('ANGLES %f %f', getCameraHorizontalAngle(), getCameraVerticalAngle()))\n";
    ViewerOptions options;
    options.steps = {
        e2eWaitOutputStep,
        "waitWindow '^Morvista$'",
        "waitOutput '^READY'",
        "focusView",
        // "&Fly Mode" is the last but one item of the Camera menu.
        "xdotool key alt+c; sleep 0.4; xdotool key Up Up; sleep 0.2; xdotool key Return; sleep 0.5",
        "focusView",
        "touch \"$WORK/fly\"",
        "waitOutput '^START'",
        "start=$(date +%s%N); xdotool keydown w; sleep 1; xdotool keyup w; stop=$(date +%s%N)",
        "probe heldMs $(( (stop - start) / 1000000 ))",
        "sleep 0.3; touch \"$WORK/moved\"",
    };
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);
    std::vector<std::vector<double>> start = numbersAfter(result.out, "START ");
    std::vector<std::vector<double>> end = numbersAfter(result.out, "END ");
    std::vector<std::vector<double>> angles = numbersAfter(result.out, "ANGLES ");
    ASSERT_EQ(start.size(), 1u) << failureContext(result);
    ASSERT_EQ(end.size(), 1u) << failureContext(result);
    ASSERT_EQ(start[0].size(), 3u);
    ASSERT_EQ(end[0].size(), 3u);
    // Fly mode: no terrain following, so the placed height stays.
    EXPECT_EQ(start[0][1], 100.0) << "fly mode keeps the height" << failureContext(result);
    EXPECT_NEAR(end[0][0], 64.0, 1e-4) << "no sideways drift";
    EXPECT_NEAR(end[0][1], 100.0, 1e-4) << "a level view keeps the height in fly mode";
    ASSERT_EQ(angles.size(), 1u);
    EXPECT_EQ(angles[0], (std::vector<double>{0.0, 0.0})) << "no mouse look";

    double distance = start[0][2] - end[0][2];
    double steps = distance / 0.8;
    // Tolerance: float sums of up to ~100 steps of 0.8 near 120 (and 6
    // printed decimals) stay far within 0.01 of a whole step.
    EXPECT_NEAR(steps, std::round(steps), 0.01) << "whole steps of 0.8: " << distance;
    // Passes: one per 16 ms plus the time a pass and the wake-up take, so
    // fewer than held / 16 ms on a busy machine; the key events themselves
    // arrive a little after the held interval is measured. Band: at least
    // half the nominal count, at most the nominal count and 3.
    double nominal = std::atof(probeValue(result, "heldMs").c_str()) / 16.0;
    EXPECT_GE(steps, 0.5 * nominal) << "distance " << distance << " over " << probeValue(result, "heldMs") << " ms";
    EXPECT_LE(steps, nominal + 3.0) << "distance " << distance << " over " << probeValue(result, "heldMs") << " ms";
    RecordProperty("stepsPerNominalPass", std::to_string(steps / nominal));
}

// A tour: a random spline of ten key points written, loaded over 200 frames
// and followed with setCameraPositionAutoHeight. The curve passes through
// every key point (at times 20 k) and stays near the terrain: key points lie
// in [1, 127], tangents are at most (127 - 1) / 2 = 63 long, and a Hermite
// segment leaves the range of its two ends by at most a quarter of that,
// 15.75 (ends both at 127 with tangents +63 and -63).
TEST_F(CameraEndToEnd, SplineTourOverTheTerrain) {
    const std::string work = e2eWorkFolder();
    const std::string script = scriptPrelude(work) +
        "generateRandomSpline(WORK .. '/keys.txt', 10)\n"
        "tour = loadSpline(WORK .. '/keys.txt', 200)\n"
        "print('SLOT ' .. tour)\n"
        "for i = 0, 199 do\n"
        "  local x, y, z = interpolateSpline(tour, i)\n"
        "  setCameraPositionAutoHeight(x, z)\n"
        "  renderScene()\n"
        "end\n"
        "print('TOUR DONE')\n";
    ViewerResult result = runViewer(script);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_NE(result.out.find("SLOT 0\n"), std::string::npos) << failureContext(result);
    EXPECT_NE(result.out.find("TOUR DONE\n"), std::string::npos) << failureContext(result);
    EXPECT_EQ(result.out.find("rror"), std::string::npos) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "before pos"), 200) << failureContext(result);

    std::vector<std::vector<double>> keys;
    std::ifstream keyFile(work + "/keys.txt");
    for (double x, y, z; keyFile >> x >> y >> z;) keys.push_back({x, y, z});
    ASSERT_EQ(keys.size(), 10u);
    std::vector<std::vector<double>> positions = numbersAfter(result.out, "POS ");
    ASSERT_EQ(positions.size(), 200u) << failureContext(result);
    double lowest = 1e9, highest = -1e9;
    for (size_t i = 0; i < positions.size(); ++i) {
        const std::vector<double>& p = positions[i];
        ASSERT_EQ(p.size(), 3u);
        EXPECT_EQ(p[1], 0.0) << "key points have y 0";
        // Tolerance: single-precision cubic at coordinates below 150, printed
        // to 6 decimals.
        if (i % 20 == 0) {
            EXPECT_NEAR(p[0], keys[i / 20][0], 1e-3) << "time " << i;
            EXPECT_NEAR(p[2], keys[i / 20][2], 1e-3) << "time " << i;
        }
        for (double v : {p[0], p[2]}) {
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
    }
    EXPECT_GE(lowest, 1.0 - 15.75);
    EXPECT_LE(highest, 127.0 + 15.75);
    RecordProperty("extent", std::to_string(lowest) + " .. " + std::to_string(highest));
}
