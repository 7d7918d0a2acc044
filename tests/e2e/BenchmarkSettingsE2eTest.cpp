// BenchmarkSettingsE2eTest.cpp -- benchmark.lua refuses bad settings and an
// output place it cannot write before it measures anything: the message
// names the setting, the program ends with a non-zero exit code, and no
// file of the run is left.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2eHarness.h"

namespace fs = std::filesystem;

class BenchmarkSettings : public ViewerTest {};

TEST_F(BenchmarkSettings, BadSettingsStopTheRunBeforeItMeasures) {
    const fs::path work = e2eWorkFolder();
    const std::string csv = (work / "bench.csv").string();
    struct Case {
        std::string settings;
        std::string message;
    };
    const Case cases[] = {
        {"BENCH_TOLERANCES = {'x'}", "BENCH_TOLERANCES entry 1 is x, not a tolerance from 0 to 10000 pixels"},
        {"BENCH_TOLERANCES = {1, 0/0}", "BENCH_TOLERANCES entry 2 is"},
        {"BENCH_TOLERANCES = {1e300}", "BENCH_TOLERANCES entry 1 is 1e+300"},
        {"BENCH_TOLERANCES = 4", "BENCH_TOLERANCES is 4, not a list of pixel tolerances"},
        {"BENCH_FRAMES = 'many'", "BENCH_FRAMES is many, not a number"},
        {"BENCH_ROUNDS = 1/0", "BENCH_ROUNDS is inf, not a number"},
        {"BENCH_SEGMENT = 1e300", "BENCH_SEGMENT is 1e+300, not a number from -1000000 to 1000000"},
        {"BENCH_CSV = 42", "BENCH_CSV is 42, not a file name"},
        {"BENCH_CSV = '" + (work / "missing" / "b.csv").string() + "'",
         "BENCH_CSV: writeToFile: cannot write " + (work / "missing" / "b.csv").string() +
             ".write-check: No such file or directory"},
        {"BENCH_MARKDOWN = '/proc/b.md'", "BENCH_MARKDOWN: writeToFile: cannot write /proc/b.md.write-check"},
    };
    for (const Case& c : cases) {
        std::string script = "BENCH_SIZE = 129\nBENCH_FRAMES = 2\nBENCH_ROUNDS = 1\nBENCH_CSV = '" + csv + "'\n" +
                             c.settings + "\ndofile('" + (fs::path(MORVISTA_BINARY_DIR) / "benchmark.lua").string() +
                             "')\n";
        ViewerOptions options;
        options.timeoutSeconds = 300;
        ViewerResult result = runViewer(script, options);
        EXPECT_FALSE(result.timedOut) << c.settings;
        EXPECT_NE(result.exitCode, 0) << c.settings << "\n" << result.out << result.err;
        EXPECT_NE((result.out + result.err).find("benchmark.lua: " + c.message), std::string::npos)
            << c.settings << "\n" << result.out << result.err;
        EXPECT_FALSE(fs::exists(csv)) << c.settings;
        EXPECT_FALSE(fs::exists(work / "bench-frames.csv")) << c.settings;
    }
}
