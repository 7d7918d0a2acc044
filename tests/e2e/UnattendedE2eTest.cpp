// UnattendedE2eTest.cpp -- runs nobody watches: batch mode answers every box
// at once (a start-up that cannot build its scene ends straight away, the
// file named on standard error), a headless run with no display at all runs
// a short benchmark and draws the same pixels as a window under Xvfb, a
// benchmark stopped by SIGTERM keeps its finished round, and the stop key
// ends a script while the viewer stays.
//
// Headless runs start the program directly, without DISPLAY; every wait is
// for a condition (a file, a line, the program's end) with a generous cap.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "e2eHarness.h"

namespace {

namespace fs = std::filesystem;

// A run of the program without any display, its output in files of work.
struct HeadlessRun {
    pid_t pid = -1;
    fs::path work;
    int exitCode = -1;  // 128 + the signal's number when a signal ended it
    std::string out() const { return e2eReadFile(work / "stdout.txt"); }
    std::string err() const { return e2eReadFile(work / "stderr.txt"); }
    std::string context() const { return "\n--- stdout:\n" + out() + "\n--- stderr:\n" + err(); }
};

HeadlessRun startHeadless(const std::vector<std::string>& arguments) {
    HeadlessRun run;
    run.work = e2eWorkFolder();
    fs::remove_all(run.work);
    fs::create_directories(run.work / "runtime");
    fs::permissions(run.work / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    std::string program = e2eBinary();
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv{program.data()};
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string outPath = (run.work / "stdout.txt").string(), errPath = (run.work / "stderr.txt").string();
    std::string runtime = (run.work / "runtime").string();
    run.pid = fork();
    if (run.pid == 0) {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "MORVISTA_BATCH"}) unsetenv(name);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        if (chdir(run.work.c_str()) != 0) _exit(127);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return run;
}

// Waits (seconds at most) until done() holds or the program ended; true
// when done() held.
bool waitUntil(HeadlessRun& run, int seconds, const std::function<bool()>& done) {
    auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < stop) {
        if (done()) return true;
        if (run.exitCode >= 0) return false;
        int status = 0;
        if (waitpid(run.pid, &status, WNOHANG) == run.pid) {
            run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

// Waits for the end (killing the program after the cap); false when it had
// to be killed.
bool waitForEnd(HeadlessRun& run, int seconds) {
    if (waitUntil(run, seconds, [&run] { return run.exitCode >= 0; })) return true;
    kill(run.pid, SIGKILL);
    int status = 0;
    waitpid(run.pid, &status, 0);
    return false;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// The cells of a CSV line (quoted cells may hold commas).
std::vector<std::string> cellsOf(const std::string& line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) cells.emplace_back();
        else cells.back() += c;
    }
    return cells;
}

int columnOf(const std::string& header, const std::string& name) {
    std::vector<std::string> cells = cellsOf(header);
    for (size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] == name) return static_cast<int>(i);
    }
    return -1;
}

// A small benchmark: 3 terrain configurations (brute force, and the two
// others at 1 px) by 5 plant schemes, 10 frames, one error view each.
std::string benchmarkChunk(const fs::path& csv, const std::string& more) {
    return "BENCH_QUICK = 1; BENCH_FRAMES = 10; BENCH_SEGMENT = 10; BENCH_WARM_UP = 2; BENCH_ERROR_EVERY = 10; "
           "BENCH_TOLERANCES = {1}; " + more + "BENCH_CSV = \"" + csv.string() + "\"; dofile(\"" +
           std::string(MORVISTA_BINARY_DIR) + "/benchmark.lua\")";
}

class Unattended : public ViewerTest {};

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(e2eBinary())) GTEST_SKIP() << "needs " << e2eBinary();
    }
};

// A folder of links to the build's scene files with height257.raw missing
// or a named pipe.
std::string sceneWithBrokenHeights(bool fifo) {
    fs::path folder = fs::path(e2eWorkFolder() + (fifo ? ".fifo" : ".missing"));
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const fs::directory_entry& entry : fs::directory_iterator(MORVISTA_BINARY_DIR)) {
        std::string extension = entry.path().extension().string();
        if (extension == ".raw" || extension == ".tga" || extension == ".xml")
            fs::create_symlink(entry.path(), folder / entry.path().filename());
    }
    fs::remove(folder / "height257.raw");
    if (fifo) mkfifo((folder / "height257.raw").c_str(), 0600);
    return folder.string();
}

TEST_F(Unattended, BatchStartUpThatCannotBuildTheSceneEndsAtOnceNamingTheFile) {
    struct Case {
        bool fifo;
        const char* reason;
    } cases[] = {{false, "No such file or directory"}, {true, "not a regular file"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::string folder = sceneWithBrokenHeights(c.fifo);
        ViewerOptions options;
        options.environment = {{"MORVISTA_BATCH", "1"}};
        options.timeoutSeconds = 60;  // without batch mode the "Error" box would wait for all of it
        ViewerResult result = runViewer("setWindowMode(); setScreenSize(640, 480); setHMSize(257); chdir('" + folder +
                                            "'); createWindow('Morvista')\n"
                                            "for i = 1, 20 do renderScene() end\nprint('the start script went on')\n",
                                        options);
        EXPECT_FALSE(result.timedOut) << failureContext(result);
        EXPECT_EQ(result.exitCode, 1) << failureContext(result);
        std::string box = std::string("Cannot load terrain file height257.raw: ") + c.reason + " - Exiting";
        EXPECT_EQ(countLines(result.err, "Error: " + box), 1) << "the box, with its caption" << failureContext(result);
        EXPECT_EQ(result.out.find("the start script went on"), std::string::npos) << failureContext(result);
    }
}

// The stop key ends the running script with its line; the viewer stays
// until Escape quits it as always.
TEST_F(Unattended, TheStopKeyEndsTheScriptAndTheViewerStays) {
    ViewerOptions options;
    options.steps = {e2eWaitOutputStep,
                     "waitWindow Morvista",
                     "waitOutput 'drawing frames'",
                     "focusView; xdotool key Pause",
                     "waitOutput 'Script stopped by the user' && probe stopped 1",
                     "sleep 1; running && probe viewerStays 1",
                     "focusView; xdotool key Escape"};
    options.timeoutSeconds = 120;
    ViewerResult result = runViewer("setWindowMode(); setScreenSize(320, 240); setHMSize(129); createWindow('Morvista')\n"
                                    "print('drawing frames')\n"
                                    "for i = 1, 100000 do renderScene() end\n"
                                    "print('the loop ran to its end')\n",
                                    options);
    EXPECT_FALSE(result.timedOut) << failureContext(result);
    EXPECT_EQ(probeValue(result, "stopped"), "1") << failureContext(result);
    EXPECT_EQ(probeValue(result, "viewerStays"), "1") << failureContext(result);
    EXPECT_EQ(result.exitCode, 0) << "Escape quits as before" << failureContext(result);
    EXPECT_EQ(countLines(result.out, "Script stopped by the user"), 1) << failureContext(result);
    EXPECT_EQ(result.out.find("the loop ran to its end"), std::string::npos) << failureContext(result);
    EXPECT_EQ(result.out.find("Sorry could not run"), std::string::npos) << failureContext(result);
}

// No DISPLAY at all: the benchmark runs, writes its three files, and its
// CSV leaves brute force's tolerance and the one round's spread empty. The
// run is quiet: no diagnostic lines, but the results.
TEST_F(Headless, QuickBenchmarkRunsWithoutADisplayAndWritesItsFiles) {
    fs::path csv = fs::path(e2eWorkFolder()) / "quick.csv";
    HeadlessRun run = startHeadless({"--headless", benchmarkChunk(csv, "")});
    ASSERT_TRUE(waitForEnd(run, 900)) << run.context();
    ASSERT_EQ(run.exitCode, 0) << run.context();
    std::string out = run.out();
    EXPECT_EQ(countLines(out, "maxy "), 0) << "quiet by default when headless";
    EXPECT_EQ(countLines(out, "hello"), 0);
    EXPECT_GE(countLines(out, "left"), 15) << "a progress line after every turn" << run.context();
    EXPECT_NE(out.find("written to " + csv.string()), std::string::npos) << run.context();

    std::vector<std::string> rows = linesOf(e2eReadFile(csv));
    ASSERT_EQ(rows.size(), 1u + 25u) << e2eReadFile(csv);
    int tolerance = columnOf(rows[0], "tolerance_px"), spread = columnOf(rows[0], "ms_median_spread"),
        flag = columnOf(rows[0], "spread_over_5pct"), status = columnOf(rows[0], "status"),
        renderer = columnOf(rows[0], "gl_renderer");
    ASSERT_GE(tolerance, 0);
    ASSERT_GE(status, 0);
    for (size_t i = 1; i < rows.size(); ++i) {
        std::vector<std::string> cells = cellsOf(rows[i]);
        ASSERT_GT(cells.size(), static_cast<size_t>(status)) << rows[i];
        bool brute = cells[0] == "brute force";
        EXPECT_EQ(cells[tolerance], brute ? "" : "1") << rows[i];
        EXPECT_EQ(cells[spread], "") << rows[i];
        EXPECT_EQ(cells[flag], "") << rows[i];
        EXPECT_EQ(cells[status], "complete") << rows[i];
        EXPECT_FALSE(cells[renderer].empty()) << rows[i];
    }
    std::vector<std::string> frames = linesOf(e2eReadFile(fs::path(e2eWorkFolder()) / "quick-frames.csv"));
    EXPECT_EQ(frames.size(), 1u + 25u * 10u);
    std::string png = e2eReadFile(fs::path(e2eWorkFolder()) / "quick.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

// SIGTERM once the first of three rounds is written: the script stops, the
// program ends with 128 + 15, and the files keep the finished rounds,
// marked partial.
TEST_F(Headless, BenchmarkStoppedBySigtermKeepsItsFinishedRoundMarkedPartial) {
    fs::path csv = fs::path(e2eWorkFolder()) / "stopped.csv";
    HeadlessRun run = startHeadless({"--headless", benchmarkChunk(csv, "BENCH_ROUNDS = 3; ")});
    bool firstRound = waitUntil(run, 900, [&csv] { return e2eReadFile(csv).find("partial") != std::string::npos; });
    ASSERT_TRUE(firstRound) << run.context();
    kill(run.pid, SIGTERM);
    ASSERT_TRUE(waitForEnd(run, 300)) << run.context();
    EXPECT_EQ(run.exitCode, 128 + SIGTERM) << run.context();
    EXPECT_EQ(countLines(run.out(), "Script stopped by the user"), 1) << run.context();

    std::vector<std::string> rows = linesOf(e2eReadFile(csv));
    ASSERT_EQ(rows.size(), 1u + 25u) << e2eReadFile(csv);
    int status = columnOf(rows[0], "status");
    std::string rowStatus = cellsOf(rows[1])[status];
    EXPECT_TRUE(rowStatus == "partial 1/3 rounds" || rowStatus == "partial 2/3 rounds") << rowStatus;
    size_t roundsDone = rowStatus == "partial 1/3 rounds" ? 1 : 2;
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(cellsOf(rows[i])[status], rowStatus) << rows[i];
    // The frame file holds whole rounds only: those the CSV counts.
    std::vector<std::string> frames = linesOf(e2eReadFile(fs::path(e2eWorkFolder()) / "stopped-frames.csv"));
    EXPECT_EQ(frames.size(), 1u + roundsDone * 25u * 10u);
}

// One view, drawn in a window under Xvfb and headless: the same pixels
// (the same Mesa rasteriser draws both; only the surface differs).
TEST_F(Unattended, HeadlessAndXvfbScreenshotsOfOneViewAgree) {
    auto script = [](const std::string& shot) {
        return "setWindowMode(); setScreenSize(640, 480); setHMSize(129); createWindow('Morvista')\n"
               "turnTerrainOn(); setTerrainAlgorithm('geomipmapping'); turnTerrainMultitexturingOn()\n"
               "turnTerrainLightOn(); setPlantAlgorithm('mix'); setCameraAutoHeight(60, 100, 35, 8)\n"
               "for i = 1, 10 do renderScene() end\n"
               "takeScreenShot('" + shot + "')\n"
               "for i = 1, 10 do renderScene() end\n";
    };
    // Screenshot names are short (at most 99 characters).
    std::string shots = std::string(MORVISTA_BINARY_DIR) + "/test-output/e2e/";
    std::string xvfbShot = shots + "same-view-xvfb.tga";
    ViewerOptions options;
    options.environment = {{"MORVISTA_BATCH", "1"}};
    options.timeoutSeconds = 120;
    ViewerResult windowed = runViewer(script(xvfbShot), options);
    ASSERT_EQ(windowed.exitCode, 0) << failureContext(windowed);
    std::string xvfb = e2eReadFile(xvfbShot);

    fs::path scriptFile = fs::path(MORVISTA_BINARY_DIR) / "test-output" / "e2e" / "headless-view.lua";
    std::string headlessShot = shots + "same-view-headless.tga";
    std::ofstream(scriptFile) << script(headlessShot);
    HeadlessRun run = startHeadless({"--headless", scriptFile.string()});
    ASSERT_TRUE(waitForEnd(run, 120)) << run.context();
    ASSERT_EQ(run.exitCode, 0) << run.context();
    std::string headless = e2eReadFile(headlessShot);

    ASSERT_EQ(xvfb.size(), 18u + 640u * 480u * 4u);
    ASSERT_EQ(headless.size(), xvfb.size()) << "the same drawing area size";
    size_t differing = 0;
    for (size_t i = 18; i + 3 < xvfb.size(); i += 4) {
        if (xvfb.compare(i, 3, headless, i, 3) != 0) ++differing;
    }
    EXPECT_EQ(differing, 0u) << "pixels that differ between the window and the headless view";
}

}  // namespace
