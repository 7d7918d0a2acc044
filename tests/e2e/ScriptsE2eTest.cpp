// ScriptsE2eTest.cpp -- the scripts shipped beside the program, run by the
// program on a virtual display: benchmark.lua measures every configuration
// and writes its CSV, tour.lua flies its path and leaves its screenshots.
// Each test's script sets the shipped script's globals (a small map, few
// frames, files in the test's work folder) and then runs it with dofile.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

namespace fs = std::filesystem;

class ScriptsEndToEnd : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        // runViewer's work folder for this test (it empties it first).
        work = e2eWorkFolder();
    }
    static std::string shipped(const char* name) { return (fs::path(MORVISTA_BINARY_DIR) / name).string(); }
    fs::path work;
};

std::string context(const ViewerResult& result) {
    return "\n--- stdout (end):\n" + result.out.substr(result.out.size() > 3000 ? result.out.size() - 3000 : 0) +
           "\n--- stderr:\n" + result.err + "\n--- files in " + result.workFolder;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(ScriptsEndToEnd, BenchmarkWritesOneRowPerConfiguration) {
    std::string csv = (work / "bench.csv").string();
    std::string script = "print('first measure', measureFrameTime())\n"
                         "BENCH_SIZE = 129\nBENCH_FRAMES = 5\nBENCH_CSV = '" + csv + "'\n"
                         "dofile('" + shipped("benchmark.lua") + "')\n";
    ViewerOptions options;
    options.timeoutSeconds = 300;
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << "the program ends when the benchmark is done" << context(result);
    EXPECT_NE(result.out.find("first measure\t0\n"), std::string::npos) << "nothing measured yet at start";

    std::vector<std::string> rows = splitLines(e2eReadFile(csv));
    ASSERT_EQ(rows.size(), 16u) << "header and 3 x 5 configurations" << context(result);
    EXPECT_EQ(rows[0], "algorithm,scheme,size,average_ms,polygons");
    const char* terrains[] = {"brute force", "geomipmapping", "ROAM 2.0"};
    const char* schemes[] = {"full models", "crossed billboards", "billboards", "mixed by distance",
                             "smooth transition"};
    for (int t = 0; t < 3; ++t) {
        for (int s = 0; s < 5; ++s) {
            const std::string& row = rows[1 + t * 5 + s];
            std::string prefix = std::string(terrains[t]) + "," + schemes[s] + ",129,";
            ASSERT_EQ(row.rfind(prefix, 0), 0u) << row;
            double average = 0;
            long polygons = 0;
            ASSERT_EQ(sscanf(row.c_str() + prefix.size(), "%lf,%ld", &average, &polygons), 2) << row;
            EXPECT_GT(average, 0.0) << row;
            EXPECT_GT(polygons, 0) << row;
            // The table on standard output shows the same configuration.
            char tableLine[100];
            snprintf(tableLine, sizeof tableLine, "%-14s %-20s %5d ", terrains[t], schemes[s], 129);
            EXPECT_EQ(countLines(result.out, tableLine), 1) << tableLine << context(result);
        }
    }
    EXPECT_EQ(countLines(result.out, "sum "), 15) << "one finished run per configuration" << context(result);
}

TEST_F(ScriptsEndToEnd, TourFliesItsPathAndTakesItsScreenshots) {
    std::string script = "setWindowMode(); setScreenSize(640, 480)\n"
                         "MAP_SIZE = 129; setHMSize(MAP_SIZE)\n"
                         "createWindow('Morvista')\n"
                         "chdir('" + work.string() + "')\n"
                         "TOUR_STEPS = 60\n"
                         "dofile('" + shipped("tour.lua") + "')\n";
    ViewerResult result = runViewer(script);
    ASSERT_EQ(result.exitCode, 0) << context(result);
    EXPECT_EQ(countLines(result.out, "tour done"), 1) << context(result);
    EXPECT_EQ(countLines(result.out, "POS "), 120) << "two points of the path per step";
    EXPECT_EQ(splitLines(e2eReadFile(work / "tour129.txt")).size(), 8u) << "the key points it wrote";
    for (const char* name : {"tour1.tga", "tour2.tga", "tour3.tga"}) {
        std::string shot = e2eReadFile(work / name);
        ASSERT_GE(shot.size(), 18u + 640u * 480u * 3u) << name << context(result);
        int width = static_cast<unsigned char>(shot[12]) | static_cast<unsigned char>(shot[13]) << 8;
        int height = static_cast<unsigned char>(shot[14]) | static_cast<unsigned char>(shot[15]) << 8;
        EXPECT_EQ(width, 640) << name;
        EXPECT_EQ(height, 480) << name;
    }
}
