// e2eHarness.h -- runs the built program on a virtual X display with a test
// script, drives it with keys and the mouse, and reports what a user would
// have seen. Included by every end-to-end test file.
//
// Provides: ViewerOptions, ViewerResult, runViewer, e2eAvailable,
// probeValue, countLines.
//
// runViewer writes the script as <work>/init.lua and starts the program under
// `xvfb-run -a -s "-screen 0 1280x1024x24"`, started in the work folder with
// the script's full path as its argument (so the program finds the script
// whether it runs "init.lua" from its current folder or the script it is
// given; scripts should name files by full path). While the program runs, the shell
// lines of options.steps are run on the same display, with these helpers:
//   waitWindow TITLE   waits (20 s at most) for a window whose name matches
//                      the regular expression TITLE, sets $WID to it, waits
//                      (30 s at most) until the scene is built, and gives it
//                      half a second to settle
//   waitFor TITLE      waits (10 s at most) for another window, e.g. a dialog
//   waitGone TITLE     waits (10 s at most) until no such window is shown
//   windowSize         prints the window's size, e.g. 800x641
//   drawingArea        prints the drawing area's size, e.g. 800x600
//   focusView          puts the pointer in the middle of the drawing area and
//                      the keyboard focus on it (there is no window manager)
//   shot FILE          saves the screen as FILE (in the work folder)
//   viewShot FILE      saves only the drawing area as FILE
//   pixel FILE X Y     prints the colour of a pixel of a saved picture, e.g. 10,20,30
//   running            true while the program runs
//   probe KEY VALUE    records KEY=VALUE for probeValue
// Variables: $PID (the program), $WORK (the work folder), $WID.
// The program's standard output and error are kept, and so are the probes'
// output and every file under <build>/test-output/e2e/<test name>/.
// The environment variable MORVISTA_E2E_BINARY, when set, names the program
// to run instead of <build>/morvista (the ThreadSanitizer check uses it).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct ViewerOptions {
    std::vector<std::string> steps;  // shell lines run while the program runs
    std::vector<std::pair<std::string, std::string>> environment;  // for the program
    int timeoutSeconds = 60;  // the program is killed after this (timedOut set)
};

struct ViewerResult {
    int exitCode = -1;  // the program's exit code (-1 when it did not end by itself)
    bool timedOut = false;
    std::string out;    // standard output
    std::string err;    // standard error
    std::string probe;  // output of the steps
    std::string workFolder;
};

inline std::string e2eReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::string e2eBinary() {
    const char* binary = getenv("MORVISTA_E2E_BINARY");
    if (binary && *binary) return binary;
    return std::string(MORVISTA_BINARY_DIR) + "/morvista";
}

// True when the program and the X tools the harness needs are there.
inline bool e2eAvailable() {
    if (!std::filesystem::exists(e2eBinary())) return false;
    return std::system("command -v xvfb-run >/dev/null && command -v xdotool >/dev/null && "
                       "command -v xwininfo >/dev/null && command -v import >/dev/null") == 0;
}

inline std::string e2eQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

inline ViewerResult runViewer(const std::string& script, const ViewerOptions& options = {}) {
    namespace fs = std::filesystem;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "viewer";
    fs::path work = fs::path(MORVISTA_BINARY_DIR) / "test-output" / "e2e" / name;
    fs::remove_all(work);
    fs::create_directories(work / "runtime");
    fs::permissions(work / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    std::ofstream(work / "init.lua") << script << "\n";

    std::ostringstream driver;
    driver << "WORK=" << e2eQuote(work.string()) << "\n"
           << "cd \"$WORK\"\n"
           << "export XDG_RUNTIME_DIR=\"$WORK/runtime\"\n";
    for (const auto& [key, value] : options.environment) driver << "export " << key << "=" << e2eQuote(value) << "\n";
    driver << R"SH(
running() { kill -0 "$PID" 2>/dev/null; }
probe() { echo "$1=$2"; }
waitWindow() {
  WID=
  for i in $(seq 200); do
    WID=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$WID" ] && break
    running || return 1
    sleep 0.1
  done
  [ -n "$WID" ] || return 1
  # The window opens before the scene is loaded; the menus and the status
  # bar come last, right after the "angle" line.
  for i in $(seq 300); do
    grep -q '^angle ' "$WORK/stdout.txt" 2>/dev/null && break
    running || return 1
    sleep 0.1
  done
  sleep 0.5
  return 0
}
waitFor() {
  for i in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && { sleep 0.2; return 0; }
    sleep 0.1
  done
  return 1
}
waitGone() {
  for i in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || { sleep 0.2; return 0; }
    sleep 0.1
  done
  return 1
}
# xwininfo without a window id waits for a click, so every helper below
# gives up at once when there is no window (for example when the program
# ended early).
windowSize() { [ -n "$WID" ] || return 1; xwininfo -id "$WID" | awk '/^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print w "x" h}'; }
drawingAreaId() { [ -n "$WID" ] || return 1; xwininfo -id "$WID" -children | awk '/^ +0x/ {print $1; exit}'; }
drawingArea() { local area; area=$(drawingAreaId); [ -n "$area" ] || return 1; xwininfo -id "$area" | awk '/^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print w "x" h}'; }
focusView() {
  local area; area=$(drawingAreaId); [ -n "$area" ] || return 1
  eval "$(xwininfo -id "$area" | awk '/Absolute upper-left X/ {print "X=" $4} /Absolute upper-left Y/ {print "Y=" $4} /^ *Width:/ {print "W=" $2} /^ *Height:/ {print "H=" $2}')"
  xdotool mousemove $((X + W / 2)) $((Y + H / 2))
  xdotool windowfocus "$area"
  sleep 0.3
}
shot() { import -window root "$WORK/$1"; }
viewShot() { local area; area=$(drawingAreaId); [ -n "$area" ] || return 1; import -window "$area" "$WORK/$1"; }
pixel() { convert "$WORK/$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:; }
)SH";
    driver << "\"$MORVISTA\" \"$WORK/init.lua\" > \"$WORK/stdout.txt\" 2> \"$WORK/stderr.txt\" &\n"
           << "PID=$!\n"
           << "{\n";
    driver << ":\n";
    for (const std::string& step : options.steps) driver << step << "\n";
    driver << "} > \"$WORK/probe.txt\" 2>&1\n"
           << "for i in $(seq " << options.timeoutSeconds * 10 << "); do running || break; sleep 0.1; done\n"
           << "if running; then echo timeout > \"$WORK/timedout.txt\"; kill -9 \"$PID\"; fi\n"
           << "wait \"$PID\"; echo $? > \"$WORK/exitcode.txt\"\n";
    std::ofstream(work / "driver.sh") << driver.str();

    std::string command = "MORVISTA=" + e2eQuote(e2eBinary()) +
                          " xvfb-run -a -s \"-screen 0 1280x1024x24\" bash " +
                          e2eQuote((work / "driver.sh").string()) + " > " +
                          e2eQuote((work / "xvfb-run.txt").string()) + " 2>&1";
    // Parallel runs may race for a display number: try again when the
    // display did not start, or was taken before the program reached it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::system(command.c_str());
        if (fs::exists(work / "exitcode.txt") &&
            e2eReadFile(work / "stderr.txt").find("could not connect to display") == std::string::npos)
            break;
    }

    ViewerResult result;
    result.workFolder = work.string();
    result.out = e2eReadFile(work / "stdout.txt");
    result.err = e2eReadFile(work / "stderr.txt");
    result.probe = e2eReadFile(work / "probe.txt");
    result.timedOut = fs::exists(work / "timedout.txt");
    std::string code = e2eReadFile(work / "exitcode.txt");
    if (!code.empty() && !result.timedOut) result.exitCode = std::atoi(code.c_str());
    return result;
}

// The value recorded with `probe KEY VALUE` ("" when there is none).
inline std::string probeValue(const ViewerResult& result, const std::string& key) {
    std::istringstream lines(result.probe);
    std::string line;
    std::string value;
    while (std::getline(lines, line)) {
        if (line.rfind(key + "=", 0) == 0) value = line.substr(key.size() + 1);
    }
    return value;
}

// How many lines of the text contain the piece.
inline int countLines(const std::string& text, const std::string& piece) {
    std::istringstream lines(text);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        if (line.find(piece) != std::string::npos) ++count;
    }
    return count;
}

// Fixture for end-to-end tests: skips when the program or the X tools are missing.
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2eAvailable()) GTEST_SKIP() << "needs " << e2eBinary() << ", xvfb-run, xdotool, xwininfo, import";
    }
};

// Everything a failed expectation should show: the program's output, the
// steps' output and where the run's files are kept.
inline std::string failureContext(const ViewerResult& result) {
    return "\n--- stdout:\n" + result.out + "\n--- stderr:\n" + result.err + "\n--- probe:\n" + result.probe +
           "\n--- files in " + result.workFolder;
}

// The folder runViewer gives the running test (a script that names files
// by full path needs it before the run).
inline std::string e2eWorkFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(MORVISTA_BINARY_DIR) + "/test-output/e2e/" + test->test_suite_name() + "." + test->name();
}

// Lua lines for scripts that wait on the steps: WORK is the work folder;
// marker(name) is true once the steps have made WORK/name; waitMarker keeps
// drawing frames (and handling keys) until then.
inline std::string e2eMarkerPrelude(const std::string& work) {
    return "WORK = '" + work + "'\n"
           "function marker(name)\n"
           "  local f = io.open(WORK .. '/' .. name)\n"
           "  if f then f:close() return true end\n"
           "  return false\n"
           "end\n"
           "function waitMarker(name) while not marker(name) do renderScene() end end\n";
}

// Step helper: waitOutput TEXT waits (30 s at most) for TEXT in the
// program's standard output.
inline const char* e2eWaitOutputStep =
    "waitOutput() { for i in $(seq 300); do grep -q \"$1\" \"$WORK/stdout.txt\" && return 0; running || return 1;"
    " sleep 0.1; done; return 1; }";

// Lua: untilFile(path, draw) renders frames (calling draw(i) before each)
// until the steps create the file, at most about a minute, so a failed step
// cannot hang the script.
inline const char* e2eLuaUntilFile = R"LUA(
function untilFile(path, draw)
  for i = 1, 6000 do
    if draw then draw(i) end
    renderScene()
    local f = io.open(path)
    if f then f:close() return end
  end
  print("gave up waiting for " .. path)
end
)LUA";

// Step helper: titleWith TEXT reads the main window's title until it starts
// with TEXT (10 s at most) and prints it.
inline const char* e2eTitleWithStep =
    "titleWith() { for i in $(seq 100); do "
    "t=$(xprop -id $WID WM_NAME 2>/dev/null | sed 's/^[^\"]*\"//; s/\"$//'); "
    "case \"$t\" in \"$1\"*) break;; esac; sleep 0.1; done; echo \"$t\"; }";
