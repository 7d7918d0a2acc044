// ReportScriptsTest.cpp -- the benchmark report's script functions: the
// summary figures a measuring script reduces its tables with, and the plot
// writer, which must leave a PNG of the asked size or say why it did not.
// The plot is drawn on Qt's offscreen platform (no display needed).
#include <gtest/gtest.h>
#include <unistd.h>

#include <lua.hpp>

#include <filesystem>
#include <fstream>
#include <string>

#include "script/scriptFunctions.h"
#include "script/scriptHost.h"
#include "util/output.h"

namespace {

namespace fs = std::filesystem;

std::string captured;
void capture(const char* text, size_t length) { captured.append(text, length); }

class ReportScripts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        host = createScriptHost();
        registerScriptFunctions(host);
    }
    void SetUp() override {
        folder = fs::temp_directory_path() / ("morvista-report-" + std::to_string(getpid()));
        fs::create_directories(folder);
        captured.clear();
        setOutputHook(capture);
    }
    void TearDown() override {
        setOutputHook(nullptr);
        fs::remove_all(folder);
    }
    // Runs the chunk and returns what it printed.
    static std::string run(const std::string& chunk) {
        captured.clear();
        EXPECT_EQ(runScriptChunk(host, chunk.c_str()), 0) << chunk << "\n" << captured;
        return captured;
    }
    static ScriptHost* host;
    fs::path folder;
};
ScriptHost* ReportScripts::host = nullptr;

// Width and height from a PNG file's header; 0 x 0 when it is not a PNG.
void pngSize(const fs::path& file, unsigned& width, unsigned& height) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[24] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    width = height = 0;
    if (!in || header[1] != 'P' || header[2] != 'N' || header[3] != 'G') return;
    width = header[16] << 24 | header[17] << 16 | header[18] << 8 | header[19];
    height = header[20] << 24 | header[21] << 16 | header[22] << 8 | header[23];
}

// A plot as benchmark.lua hands it over: two walk lines, points of which
// some lack their error figures.
const char* plotTable = R"LUA(
plot = {
  title = "Morvista benchmark", notes = {"run record", "second line"}, walkCaption = "full models",
  walk = { {name = "brute force", ms = {30, 32, 31, 35}}, {name = "ROAM 2.0", ms = {10, 11, 12, 10}} },
  colourNames = {"brute force", "ROAM 2.0"}, shapeNames = {"full models", "billboards"},
  points = {
    {colour = 1, shape = 1, label = "", ms = 31, errorPixels = 0, terrainShare = 0, plantShare = 0},
    {colour = 2, shape = 1, label = "0 px", ms = 11, errorPixels = 3.5, terrainShare = 0.04, plantShare = 0},
    {colour = 2, shape = 2, label = "1 px", ms = 9, plantShare = 0.2},
  },
}
)LUA";

}  // namespace

TEST_F(ReportScripts, SummaryFiguresOfAScriptTable) {
    EXPECT_EQ(run("print(summarise({5, 1, 4, 2, 3}))"), "1\t3\t4.8\t5\t3\n") << "min, median, p95, max, mean";
    EXPECT_EQ(run("print(summarise({}))"), "nil\n") << "nothing to summarise";
    EXPECT_EQ(run("print(summarise({1, 1/0, 2}))"), "1\t2\tinf\tinf\tinf\n") << "an infinite time is a number";
    EXPECT_EQ(run("print(format('%.3f', spreadOf({20, 21, 20.5})))"), "0.050\n");
    EXPECT_EQ(run("print(spreadOf({7}))"), "0\n") << "one round has no spread";
}

TEST_F(ReportScripts, SummaryFiguresRefuseWhatIsNotAMeasurement) {
    // NaN and anything that is not a number (a string that looks like one
    // included) are script errors naming the entry, in both functions.
    struct Case {
        const char* table;
        const char* reason;
    };
    const Case cases[] = {
        {"{1, 0/0, 2}", "entry 2 is NaN, not a measurement"},
        {"{'5', 2}", "entry 1 is a string, not a number"},
        {"{3, 4, {}}", "entry 3 is a table, not a number"},
        {"{1, nil, 3}", "entry 2 is a nil, not a number"},
    };
    for (const Case& c : cases)
        for (const char* function : {"summarise", "spreadOf"}) {
            captured.clear();
            std::string chunk = std::string("print(") + function + "(" + c.table + "))";
            EXPECT_NE(runScriptChunk(host, chunk.c_str()), 0) << chunk;
            EXPECT_NE(captured.find(std::string(function) + ": " + c.reason), std::string::npos) << chunk << captured;
        }
}

TEST_F(ReportScripts, ViewportSizeIsNilBeforeTheWindow) {
    EXPECT_EQ(run("print(getViewportSize())"), "nil\n");
}

TEST_F(ReportScripts, PlotNumbersAreCheckedBeforeTheyAreUsed) {
    // Sizes and point styles that do not fit an int, fractions, NaN, text
    // and pictures larger than 16384 a side: script errors naming the
    // field, and no file.
    struct Case {
        const char* change;
        const char* reason;
    };
    const Case cases[] = {
        {"plot.width = 1e300", "width must be a whole number from 1 to 16384"},
        {"plot.width = 100000; plot.height = 100000", "width must be a whole number from 1 to 16384"},
        {"plot.height = 16385", "height must be a whole number from 1 to 16384"},
        {"plot.height = 0/0", "height must be a whole number"},
        {"plot.width = 900.5", "width must be a whole number"},
        {"plot.width = '900'", "width must be a whole number"},
        {"plot.points[2].colour = -2147483648", "a point's colour must be a whole number from 1 to 1000"},
        {"plot.points[1].shape = 1e300", "a point's shape must be a whole number from 1 to 1000"},
        {"plot.points[3].colour = 0", "a point's colour must be a whole number"},
    };
    fs::path file = folder / "refused.png";
    for (const Case& c : cases) {
        captured.clear();
        std::string chunk = std::string(plotTable) + c.change + "\nwriteBenchmarkPlot('" + file.string() + "', plot)";
        EXPECT_NE(runScriptChunk(host, chunk.c_str()), 0) << c.change;
        EXPECT_NE(captured.find("writeBenchmarkPlot: " + std::string(c.reason)), std::string::npos)
            << c.change << ": " << captured;
        EXPECT_FALSE(fs::exists(file)) << c.change;
    }
}

TEST_F(ReportScripts, PlotWriterLeavesAPngOfTheAskedSize) {
    fs::path file = folder / "plot.png";
    std::string out = run(std::string(plotTable) + "plot.width = 900; plot.height = 700\n"
                          "print(writeBenchmarkPlot('" + file.string() + "', plot))");
    if (out.find("no display") != std::string::npos) GTEST_SKIP() << "Qt's offscreen platform is not available";
    EXPECT_EQ(out, "true\n");
    unsigned width = 0, height = 0;
    pngSize(file, width, height);
    EXPECT_EQ(width, 900u);
    EXPECT_EQ(height, 700u);

    // The default size, and a plot without any error figures.
    out = run(std::string(plotTable) + "for i = 1, getn(plot.points) do plot.points[i].errorPixels = nil;"
              " plot.points[i].terrainShare = nil; plot.points[i].plantShare = nil end\n"
              "print(writeBenchmarkPlot('" + (folder / "bare.png").string() + "', plot))");
    EXPECT_EQ(out, "true\n");
    pngSize(folder / "bare.png", width, height);
    EXPECT_EQ(width, 1600u);
    EXPECT_EQ(height, 1200u);
}

TEST_F(ReportScripts, PlotWriterSaysWhyItWroteNothing) {
    struct Case {
        std::string file, size, reason;
    };
    const Case cases[] = {
        {(folder / "no-such-folder" / "plot.png").string(), "", "cannot be written"},
        {(folder / "tiny.png").string(), "plot.width = 200; plot.height = 100\n", "too small"},
    };
    for (const Case& c : cases) {
        std::string out = run(std::string(plotTable) + c.size + "print(writeBenchmarkPlot('" + c.file + "', plot))");
        if (out.find("no display") != std::string::npos) GTEST_SKIP() << "Qt's offscreen platform is not available";
        EXPECT_EQ(out.rfind("nil\t", 0), 0u) << out;
        EXPECT_NE(out.find(c.reason), std::string::npos) << out;
        EXPECT_FALSE(fs::exists(c.file));
    }
}
