// UserPathsE2eTest.cpp -- paths a new user takes through the viewer, on a
// virtual display: the tour opened from File > Open with the console open,
// the tour started without the viewer, a second window with its textures,
// the grid over the terrain, and a script error from File > Open that the
// user must get to see.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2eHarness.h"

namespace {

namespace fs = std::filesystem;

class UserPaths : public ViewerTest {
protected:
    static std::string shipped(const char* name) { return (fs::path(MORVISTA_BINARY_DIR) / name).string(); }
};

// waitText TEXT waits (120 s at most) for TEXT in the program's output.
const char* waitTextStep =
    "waitText() { for i in $(seq 1200); do grep -q \"$1\" \"$WORK/stdout.txt\" && return 0; running || return 1;"
    " sleep 0.1; done; return 1; }";

// Opens the script at PATH with File > Open.
const char* openScriptStep =
    "openScript() { xdotool key alt+f; sleep 0.4; xdotool key o; waitFor '^Open$' || return 1;"
    " xdotool type --delay 20 \"$1\"; xdotool key Return; }";

// Mean of the colour channels (0 to 1) of a 32-bit screenshot file; -1 when
// it is not one.
double meanColour(const std::string& bytes) {
    if (bytes.size() < 18 + 4) return -1;
    size_t pixels = (bytes.size() - 18) / 4;
    double sum = 0;
    for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) sum += static_cast<unsigned char>(bytes[18 + 4 * i + c]);
    return sum / (pixels * 3 * 255.0);
}

}  // namespace

// The console writes every POS line of the flight; none of them may take a
// renderScene() call from the tour, so all three shots are taken.
TEST_F(UserPaths, TourFromTheMenuWithTheConsoleOpenTakesItsThreeShots) {
    std::string work = e2eWorkFolder();
    ViewerOptions options;
    options.timeoutSeconds = 240;
    options.steps = {
        waitTextStep,
        openScriptStep,
        "waitWindow '^Morvista$'",
        "focusView",
        "openScript '" + shipped("tour.lua") + "'",
        "waitText 'tour done'",
        "focusView",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer("createConsole()\n"
                                    "setWindowMode(); setScreenSize(640, 480)\n"
                                    "MAP_SIZE = 129; setHMSize(MAP_SIZE)\n"
                                    "createWindow('Morvista')\n"
                                    "chdir('" + work + "')\n"
                                    "TOUR_STEPS = 120\n"
                                    "mainLoop()\n",
                                    options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "tour done"), 1) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "POS "), 240) << "two points of the path per step";
    EXPECT_EQ(countLines(result.out, "saving file tour"), 6) << "three shots, each captured twice";
    std::string shots[3];
    for (int i = 0; i < 3; ++i) {
        std::string name = "tour" + std::to_string(i + 1) + ".tga";
        shots[i] = e2eReadFile(fs::path(work) / name);
        EXPECT_EQ(shots[i].size(), 18u + 640u * 480u * 4u) << name << failureContext(result);
    }
    EXPECT_NE(shots[0], shots[2]) << "the camera flew between the first and the last shot";
}

// Started from a shell the tour has no window: it says so once and stops
// before it writes anything or prints a point of its path.
TEST_F(UserPaths, TourWithoutTheViewerSaysWhyAndStops) {
    fs::path out = fs::path(e2eWorkFolder()) / "out.txt";
    fs::create_directories(out.parent_path());
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + e2eQuote(e2eBinary()) +
                          " tour.lua > " + e2eQuote(out.string()) + " 2>&1";
    int status = std::system(command.c_str());
    std::string printed = e2eReadFile(out);
    ASSERT_TRUE(WIFEXITED(status)) << printed;
    EXPECT_EQ(WEXITSTATUS(status), 1) << "a start script that stops ends the program with 1\n" << printed;
    EXPECT_EQ(countLines(printed, "tour.lua needs the viewer: open it with File > Open, or run it after createWindow"),
              1)
        << printed;
    EXPECT_GE(countLines(printed, "Sorry could not run tour.lua."), 1) << printed;
    EXPECT_EQ(countLines(printed, "POS "), 0) << printed;
}

// The second window builds the scene in a new rendering context: the same
// view looks the same, not white.
TEST_F(UserPaths, SecondWindowDrawsTheSceneWithItsTextures) {
    std::string work = e2eWorkFolder();
    std::string scene = "setWindowMode(); setScreenSize(320, 240); setHMSize(129); createWindow('Morvista')\n"
                        "turnTerrainOn(); setTerrainAlgorithm('brute'); turnTerrainMultitexturingOn()\n"
                        "turnTerrainLightOn(); setCameraAutoHeight(60, 100, 35, 8)\n"
                        "for i = 1, 5 do renderScene() end\n";
    // Shots are named in the work folder (a full name would be too long);
    // the scene is read from the program's folder.
    std::string shot = "chdir('" + work + "'); takeScreenShot('%s')\n"
                       "for i = 1, 5 do renderScene() end\n"
                       "chdir('" MORVISTA_BINARY_DIR "')\n";
    auto shotNamed = [&shot](const std::string& name) {
        std::string text = shot;
        return text.replace(text.find("%s"), 2, name);
    };
    ViewerResult result = runViewer(scene + shotNamed("first.tga") + scene + shotNamed("second.tga"));
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "hello"), 2) << "the scene was built twice" << failureContext(result);
    double first = meanColour(e2eReadFile(fs::path(work) / "first.tga"));
    double second = meanColour(e2eReadFile(fs::path(work) / "second.tga"));
    ASSERT_GT(first, 0.0) << failureContext(result);
    ASSERT_GT(second, 0.0) << failureContext(result);
    EXPECT_LT(first, 0.7) << "textured ground, not white";
    EXPECT_NEAR(second, first, 0.02) << "the same view in the second window";
}

// The grid lies at height 0.1, under the ground: switched on from the menu
// it still shows over the terrain.
TEST_F(UserPaths, GridFromTheMenuShowsOverTheTerrain) {
    const std::string countBlue =
        "convert \"$WORK/$1\" -fuzz 25% -fill black +opaque '#0000ff' -fill white -opaque '#0000ff' "
        "-format '%[fx:round(mean*w*h)]' info:";
    ViewerOptions options;
    options.steps = {
        "blue() { " + countBlue + "; }",
        "waitWindow '^Morvista$'",
        "focusView",
        "viewShot before.png",
        "xdotool key alt+o; sleep 0.4; xdotool key g; sleep 1",
        "viewShot grid.png",
        "probe blueBefore \"$(blue before.png)\"",
        "probe blueGrid \"$(blue grid.png)\"",
        "focusView",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer("setWindowMode(); setScreenSize(640, 480); setHMSize(257)\n"
                                    "createWindow('Morvista')\n"
                                    "turnTerrainOn(); setTerrainAlgorithm('brute'); anonymous()\n"
                                    "setTitle('Morvista')\n"
                                    "setCameraAutoHeight(60, 200, 35, 8)\n"
                                    "mainLoop()\n",
                                    options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(probeValue(result, "blueBefore"), "0") << failureContext(result);
    EXPECT_GT(std::atoi(probeValue(result, "blueGrid").c_str()), 200) << failureContext(result);
}

// A script opened from the menu stops on an error: with the console open
// the console comes above the main window; without one a message box
// names the script and the line.
TEST_F(UserPaths, ScriptErrorFromTheMenuIsShownToTheUser) {
    struct Case {
        bool console;
    } cases[] = {{true}, {false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.console ? "with the console" : "without a console");
        ViewerOptions options;
        options.steps = {
            waitTextStep,
            openScriptStep,
            "printf 'print(\"bad starts\")\\nlocal x = nil + 1\\n' > \"$WORK/bad.lua\"",
            "waitWindow '^Morvista$'",
            "focusView",
            "openScript \"$WORK/bad.lua\"",
            "waitText 'Sorry could not run'",
            "sleep 0.5",
            // xwininfo lists the top-level windows from the top down.
            "hex() { printf '0x%x' \"$1\"; }",
            "order() { xwininfo -root -children | grep -n \"^ *$(hex \"$1\") \" | cut -d: -f1; }",
            "CONSOLE=$(xdotool search --onlyvisible --name '^Console$' | head -1)",
            "[ -n \"$CONSOLE\" ] && probe consoleAbove $([ \"$(order \"$CONSOLE\")\" -lt \"$(order \"$WID\")\" ] && "
            "echo yes || echo no)",
            "if waitFor '^Error$'; then probe box yes; shot box.png; xdotool key Return; waitGone '^Error$'; fi",
            "focusView",
            "xdotool key Escape",
        };
        ViewerResult result = runViewer(std::string(c.console ? "createConsole()\n" : "") +
                                            "setWindowMode(); setScreenSize(640, 480); createWindow('Morvista')\n"
                                            "mainLoop()\n",
                                        options);
        EXPECT_EQ(result.exitCode, 0) << failureContext(result);
        EXPECT_EQ(countLines(result.out, "bad starts"), 1) << failureContext(result);
        if (c.console) {
            EXPECT_EQ(probeValue(result, "consoleAbove"), "yes") << failureContext(result);
            EXPECT_EQ(probeValue(result, "box"), "") << "the console shows the error" << failureContext(result);
        } else {
            EXPECT_EQ(probeValue(result, "box"), "yes") << failureContext(result);
        }
    }
}
