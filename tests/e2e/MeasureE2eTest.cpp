// MeasureE2eTest.cpp -- the frame-time measurement and the screenshots of
// the running program: measurement runs printed frame by frame, named and
// numbered shots from the script and the F12 key, the menus around a shot,
// and the written files read back by ImageMagick.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

class MeasureEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2eAvailable()) GTEST_SKIP() << "needs " << e2eBinary() << ", xvfb-run, xdotool, xwininfo, import";
        if (std::system("command -v identify >/dev/null && command -v compare >/dev/null") != 0)
            GTEST_SKIP() << "needs ImageMagick's identify and compare";
    }
};

// Lua helpers: marker(name) is true once the steps have made WORK/name;
// waitMarker keeps drawing frames (and handling keys) until then.
std::string scriptPrelude(const std::string& work) {
    return e2eMarkerPrelude(work);
}

struct MeasurementRun {
    std::vector<double> frames;  // the "milli sec" values
    double sum = -1.0, average = -1.0;
};

// Splits the output into runs: frame lines up to and including a sum line.
std::vector<MeasurementRun> measurementRuns(const std::string& out, std::string& stray) {
    std::vector<MeasurementRun> runs;
    MeasurementRun current;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        double a = 0.0, b = 0.0;
        char rest[16] = "";
        if (sscanf(line.c_str(), "%lf milli se%15s", &a, rest) == 2 && std::string(rest) == "c") {
            current.frames.push_back(a);
        } else if (sscanf(line.c_str(), "sum %lf avg %lf", &a, &b) == 2) {
            current.sum = a;
            current.average = b;
            runs.push_back(current);
            current = {};
        }
    }
    if (!current.frames.empty()) stray = "frame lines after the last sum line";
    return runs;
}

std::string shellOutput(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

// One run: two measurement runs of three frames, two named shots, then F12
// twice with the menus shown and once with them hidden by the user (H).
TEST_F(MeasureEndToEnd, MeasurementRunsNamedAndNumberedShots) {
    namespace fs = std::filesystem;
    const std::string work = e2eWorkFolder();
    const std::string script = scriptPrelude(work) +
        "setWindowMode(); setScreenSize(800, 600); createWindow('Morvista')\n"
        // Shots go to the current folder: the test's, not the program's.
        "chdir(WORK)\n"
        "turnTerrainOn(); setTerrainAlgorithm('brute')\n"
        "setCameraAutoHeight(30, 100, 35, 8)\n"
        "for i = 1, 10 do renderScene() end\n"
        "setFrameSamples(3)\n"
        "print('FIRST ' .. measureFrameTime())\n"
        "for i = 1, 20 do renderScene() end\n"
        "print('SECOND ' .. measureFrameTime())\n"
        "for i = 1, 20 do renderScene() end\n"
        "takeScreenShot('a.tga')\n"
        "for i = 1, 10 do renderScene() end\n"
        // Hiding the bars for the shot makes the window system send two
        // events, which the next calls handle before a frame is drawn.
        "takeScreenShot('shot.tga')\n"
        "calls = 0\n"
        "while calls < 20 and not marker('shot.tga') do renderScene(); calls = calls + 1 end\n"
        "print('SHOT AFTER ' .. calls)\n"
        "for i = 1, 10 do renderScene() end\n"
        "print('READY')\n"
        "waitMarker('done')\n";
    ViewerOptions options;
    options.steps = {
        e2eWaitOutputStep,
        "waitWindow '^Morvista$'",
        "waitOutput '^READY'",
        // Each shot is grabbed twice; the steps wait for both grabs and for
        // the window to settle at the size it should have afterwards, so a
        // slow machine takes longer instead of failing.
        "waitGrabs() { for i in $(seq 300); do [ \"$(grep -c '^dothegrab' \"$WORK/stdout.txt\")\" -ge \"$1\" ] && return 0;"
        " sleep 0.1; done; return 1; }",
        "waitSize() { for i in $(seq 100); do [ \"$(windowSize)\" = \"$1\" ] && return 0; sleep 0.1; done; return 1; }",
        "focusView",
        "shown=\"$(windowSize)\"; probe shown \"$shown\"",
        "xdotool key F12; waitGrabs 6; waitSize \"$shown\"",
        "probe afterFirst \"$(windowSize)\"",
        "xdotool key F12; waitGrabs 8; waitSize \"$shown\"",
        "xdotool key h; waitSize 800x600; sleep 0.3",
        "probe hidden \"$(windowSize)\"",
        "xdotool key F12; waitGrabs 10; sleep 0.3",
        "probe hiddenAfterShot \"$(windowSize)\"",
        "viewShot view.png",
        "touch \"$WORK/done\"",
    };
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);

    // Measurement: three frame lines, then the sum and the average of
    // exactly those three; measureFrameTime returns the previous average.
    std::string stray;
    std::vector<MeasurementRun> runs = measurementRuns(result.out, stray);
    EXPECT_EQ(stray, "") << failureContext(result);
    ASSERT_EQ(runs.size(), 2u) << failureContext(result);
    for (const MeasurementRun& run : runs) {
        ASSERT_EQ(run.frames.size(), 3u) << failureContext(result);
        double sum = run.frames[0] + run.frames[1] + run.frames[2];
        EXPECT_NEAR(run.sum, sum, 0.02) << "sum of three values printed to 0.01";
        EXPECT_NEAR(run.average, run.sum / 3.0, 0.006) << "average printed to 0.01";
        EXPECT_GT(run.sum, 0.0);
    }
    EXPECT_NE(result.out.find("FIRST 0.0\n"), std::string::npos) << "0 before the first run" << failureContext(result);
    size_t second = result.out.find("SECOND ");
    ASSERT_NE(second, std::string::npos) << failureContext(result);
    EXPECT_NEAR(std::atof(result.out.c_str() + second + 7), runs[0].average, 0.006)
        << "the first run's average, printed to 0.01";

    // Named shots: exactly the named files, the counter untouched by them.
    EXPECT_TRUE(fs::exists(work + "/a.tga"));
    size_t calls = result.out.find("SHOT AFTER ");
    ASSERT_NE(calls, std::string::npos) << failureContext(result);
    EXPECT_LT(std::atoi(result.out.c_str() + calls + 11), 20) << "shot.tga written within a few calls";
    EXPECT_NE(result.out.find("saving file a.tga\n"), std::string::npos) << failureContext(result);
    EXPECT_NE(result.out.find("saving file shot.tga\n"), std::string::npos) << failureContext(result);
    // F12 three times: screenshot0, 1, 2 in that order, each written twice.
    for (const char* name : {"screenshot0.tga", "screenshot1.tga", "screenshot2.tga"})
        EXPECT_TRUE(fs::exists(work + "/" + name)) << name << failureContext(result);
    EXPECT_FALSE(fs::exists(work + "/screenshot3.tga"));
    if (fs::exists(work + "/screenshot1.tga")) {
        EXPECT_LE(fs::last_write_time(work + "/screenshot0.tga"), fs::last_write_time(work + "/screenshot1.tga"));
    }
    EXPECT_EQ(countLines(result.out, "dothegrab"), 2 * 5) << failureContext(result);
    // The status bar is hidden for every shot, so the whole view is taken.
    EXPECT_EQ(countLines(result.out, "screenshot sh glw h 0 800 600"), 2 * 5) << failureContext(result);

    // Menus: back after a shot when they were shown, still hidden when the
    // user had hidden them.
    EXPECT_NE(probeValue(result, "shown"), "800x600") << "menu and status bar around the view";
    EXPECT_EQ(probeValue(result, "afterFirst"), probeValue(result, "shown")) << failureContext(result);
    EXPECT_EQ(probeValue(result, "hidden"), "800x600") << failureContext(result);
    EXPECT_EQ(probeValue(result, "hiddenAfterShot"), "800x600") << failureContext(result);

    // Other programs read the files: the size of the drawing area, and the
    // picture upright and in its colours like the window's own view (the
    // camera did not move). At most 1% of the pixels may differ by more
    // than 10% (the view's grab and the frame buffer are the same frame
    // drawn again).
    for (const char* name : {"shot", "a", "screenshot0", "screenshot2"}) {
        std::string tga = work + "/" + name + ".tga";
        EXPECT_EQ(shellOutput("identify -format '%wx%h' '" + tga + "'"), "800x600") << name;
        std::string png = work + "/" + name + ".png";
        shellOutput("convert '" + tga + "' -auto-orient -alpha off '" + png + "'");
        std::string differing =
            shellOutput("compare -metric AE -fuzz 10% '" + png + "' '" + work + "/view.png' null: 2>&1");
        EXPECT_LT(std::atof(differing.c_str()), 800 * 600 * 0.01) << name << " against the view: " << differing;
    }
}
