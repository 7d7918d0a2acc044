// ShellE2eTest.cpp -- the program on a virtual display: its window, drawing
// area, status bar, menus, keys, mouse buttons, console and exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "e2eHarness.h"

namespace {

const char* windowedStart = "setWindowMode(); setScreenSize(800, 600); createWindow('Morvista')\n";

class ShellEndToEnd : public ViewerTest {};

}  // namespace

TEST_F(ShellEndToEnd, HundredFramesThenTheScriptEndsWithExitCode0) {
    ViewerResult result = runViewer(std::string(windowedStart) +
                                    "for i = 1, 100 do renderScene() end\n"
                                    "print('frames done')\n");
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_NE(result.out.find("hello\n"), std::string::npos) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "frames done"), 1) << failureContext(result);
}

TEST_F(ShellEndToEnd, WindowTitleDrawingAreaAndStatusBarUntilEscape) {
    ViewerOptions options;
    options.environment = {{"MORVISTA_ECHO_STATUS", "1"}};
    options.steps = {
        "waitWindow '^Morvista$'",
        "probe title \"$(xprop -id $WID WM_NAME)\"",
        "probe area \"$(drawingArea)\"",
        "probe window \"$(windowSize)\"",
        "probe position \"$(xwininfo -id $WID | awk '/Absolute upper-left X/ {x=$4} "
        "/Absolute upper-left Y/ {y=$4} END {print x \",\" y}')\"",
        "sleep 2.5",
        "shot screen.png",
        "focusView",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer(std::string(windowedStart) + "mainLoop()\nprint('loop ended')\n", options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(probeValue(result, "title"), "WM_NAME(STRING) = \"Morvista\"") << failureContext(result);
    EXPECT_EQ(probeValue(result, "area"), "800x600") << failureContext(result);
    // Menu bar above and status bar below the drawing area; the finished
    // window, bars included, is centred on the 1280 x 1024 screen.
    std::string window = probeValue(result, "window");
    EXPECT_EQ(window.substr(0, 4), "800x");
    int windowHeight = std::atoi(window.substr(4).c_str());
    EXPECT_GT(windowHeight, 620) << window;
    EXPECT_EQ(probeValue(result, "position"), "240," + std::to_string(512 - windowHeight / 2));
    EXPECT_EQ(countLines(result.out, "loop ended"), 1) << failureContext(result);
    // The first frame shows one frame and an empty polygon text; later ones
    // the frames of about a second and the polygon count.
    EXPECT_NE(result.err.find("status bar: FPS: 1 \n"), std::string::npos) << failureContext(result);
    EXPECT_GE(countLines(result.err, "status bar: FPS: "), 2) << failureContext(result);
    EXPECT_GE(countLines(result.err, "  Scene polygons: "), 1) << failureContext(result);
}

TEST_F(ShellEndToEnd, HHidesAndRestoresMenusAndStatusBarKeepingTheDrawingArea) {
    ViewerOptions options;
    options.environment = {{"MORVISTA_ECHO_STATUS", "1"}};
    options.steps = {
        "waitWindow '^Morvista$'",
        "focusView",
        "probe shown \"$(windowSize)\"",
        "xdotool key h; sleep 0.7",
        "probe hidden \"$(windowSize)\"",
        "probe hiddenArea \"$(drawingArea)\"",
        "probe cursor \"$(xdotool getmouselocation | awk '{print $1 \",\" $2}')\"",
        "probe hiddenTop \"$(xwininfo -id $WID | awk '/Absolute upper-left Y/ {print $4}')\"",
        "xdotool key h; sleep 0.7",
        "probe restored \"$(windowSize)\"",
        "probe restoredArea \"$(drawingArea)\"",
        "sleep 1.2",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer(std::string(windowedStart) + "mainLoop()\n", options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(probeValue(result, "hidden"), "800x600") << failureContext(result);
    EXPECT_EQ(probeValue(result, "hiddenArea"), "800x600") << failureContext(result);
    // The cursor waits in the middle of the window for mouse look.
    int hiddenTop = std::atoi(probeValue(result, "hiddenTop").c_str());
    EXPECT_EQ(probeValue(result, "cursor"), "x:640,y:" + std::to_string(hiddenTop + 300)) << failureContext(result);
    EXPECT_EQ(probeValue(result, "restored"), probeValue(result, "shown")) << failureContext(result);
    EXPECT_NE(probeValue(result, "shown"), "800x600") << failureContext(result);
    EXPECT_EQ(probeValue(result, "restoredArea"), "800x600") << failureContext(result);
    // The new status bar shows the frame rate again.
    std::string afterRestore = result.err.substr(result.err.rfind("status bar:") == std::string::npos
                                                     ? 0
                                                     : result.err.rfind("status bar:"));
    EXPECT_NE(afterRestore.find("FPS: "), std::string::npos) << failureContext(result);
}

TEST_F(ShellEndToEnd, MainLoopBeforeWindowWaitsAndSetTitleRenamesTheWindow) {
    ViewerOptions options;
    options.steps = {
        "waitWindow '^Second title$'",
        "probe title \"$(xprop -id $WID WM_NAME)\"",
        "focusView",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer("mainLoop()\n" + std::string(windowedStart) +
                                        "setTitle('Second title')\n"
                                        "mainLoop()\n"
                                        "renderScene()\n"
                                        "print('not reached: the quit of the teardown ends the process')\n",
                                    options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    size_t waited = result.out.find("Window must be created first\n");
    EXPECT_NE(waited, std::string::npos) << failureContext(result);
    EXPECT_LT(waited, result.out.find("hello\n")) << "printed before the window opened" << failureContext(result);
    EXPECT_EQ(result.out.find("not reached"), std::string::npos) << failureContext(result);
    EXPECT_EQ(probeValue(result, "title"), "WM_NAME(STRING) = \"Second title\"") << failureContext(result);
}

TEST_F(ShellEndToEnd, MouseButtonsAreReportedWithTheirPositionAndUserValue) {
    ViewerOptions options;
    options.steps = {
        "waitWindow '^Morvista$'",
        "focusView",
        "xdotool click 1; sleep 0.2",
        "xdotool click 2; sleep 0.2",
        "xdotool click 3; sleep 0.2",
        "xdotool click 3; sleep 0.2",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer(std::string(windowedStart) + "mainLoop()\n", options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_NE(result.out.find(
              "DOWN LEFT\nleft 1 1 400 300  -50\nUP LEFT\nleft 1 0 400 300  -50\n"
              "DOWN MIDDLE\nleft 3 1 400 300  -50\nUP MIDDLE\nleft 3 0 400 300  -50\n"
              "DOWN RIGHT\nleft 2 1 400 300  -50\nUP RIGHT\nleft 2 0 400 300  -50\n"
              "DOWN RIGHT\nleft 2 1 400 300  -50\nUP RIGHT\nleft 2 0 400 300  -50\n"),
              std::string::npos)
        << failureContext(result);
}

TEST_F(ShellEndToEnd, GridFromTheOptionsMenuAndExitFromTheFileMenu) {
    // Count the pure blue pixels of the drawing area.
    const std::string countBlue =
        "convert \"$WORK/$1\" -fuzz 25% -fill black +opaque '#0000ff' -fill white -opaque '#0000ff' "
        "-format '%[fx:round(mean*w*h)]' info:";
    ViewerOptions options;
    options.steps = {
        "blue() { " + countBlue + "; }",
        "waitWindow '^Morvista$'",
        "focusView",
        "sleep 0.3; viewShot before.png",
        "xdotool key alt+o; sleep 0.4; xdotool key g; sleep 0.6",
        "viewShot grid.png",
        "probe blueBefore \"$(blue before.png)\"",
        "probe blueGrid \"$(blue grid.png)\"",
        "xdotool key alt+f; sleep 0.4; xdotool key x",
    };
    // Look down onto the grid once a camera can be placed.
    ViewerResult result = runViewer(std::string(windowedStart) +
                                        "if setCamera then setCamera(0, 30, 0, 0, 40) end\n"
                                        "mainLoop()\n"
                                        "print('exit from the menu')\n",
                                    options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_NE(result.out.find("exit from the menu"), std::string::npos) << failureContext(result);
    EXPECT_EQ(probeValue(result, "blueBefore"), "0") << failureContext(result);
    EXPECT_GT(std::atoi(probeValue(result, "blueGrid").c_str()), 200) << failureContext(result);
}

TEST_F(ShellEndToEnd, OpenRunsTheChosenScriptInsideTheCommand) {
    namespace fs = std::filesystem;
    ViewerOptions options;
    options.steps = {
        "printf 'print(\"opened script runs\")\\nfor i = 1, 3 do renderScene() end\\n' > \"$WORK/other.lua\"",
        "waitWindow '^Morvista$'",
        "focusView",
        "xdotool key alt+f; sleep 0.4; xdotool key o; waitFor '^Open$'",
        "xdotool type --delay 20 \"$WORK/other.lua\"; xdotool key Return; sleep 1",
        "waitWindow '^Morvista$'; focusView",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer(std::string(windowedStart) + "mainLoop()\n", options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    std::string folder = result.workFolder + "/";
    EXPECT_NE(result.out.find(folder + "other.lua\n" + folder + "\nopened script runs\n"), std::string::npos)
        << failureContext(result);
}

TEST_F(ShellEndToEnd, SecondConsoleReplacesTheFirst) {
    ViewerOptions options;
    options.steps = {
        "waitWindow '^Morvista$'",
        "probe consoles \"$(xdotool search --onlyvisible --name '^Console$' | wc -l)\"",
        "shot console.png",
        "focusView",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer(
        "createConsole()\nprint('first console')\ncreateConsole()\nprint('second console')\n" +
            std::string(windowedStart) + "mainLoop()\n",
        options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(probeValue(result, "consoles"), "1") << failureContext(result);
    EXPECT_NE(result.out.find("first console\nsecond console\n"), std::string::npos) << failureContext(result);
}

TEST_F(ShellEndToEnd, FullScreenCoversTheScreenAndTooLargeAModeQuits) {
    ViewerOptions options;
    options.steps = {
        "waitWindow '^Morvista$'",
        "probe window \"$(windowSize)\"",
        "focusView",
        "xdotool key Escape",
    };
    ViewerResult result = runViewer("setFullScreenMode(); setScreenSize(800, 600); createWindow('Morvista')\n"
                                    "mainLoop()\n",
                                    options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(probeValue(result, "window"), "1280x1024") << failureContext(result);

    ViewerOptions tooLarge;
    tooLarge.steps = {
        "waitWindow '^Error$'",
        "probe error \"$WID\"",
        "xdotool windowfocus $WID; sleep 0.3; xdotool key Return",
    };
    result = runViewer("setFullScreenMode(); setScreenSize(2000, 1500); createWindow('Morvista')\n"
                       "mainLoop()\nprint('loop ended at once')\n",
                       tooLarge);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_NE(probeValue(result, "error"), "") << "an \"Error\" message box appears" << failureContext(result);
    EXPECT_EQ(countLines(result.out, "loop ended at once"), 1) << failureContext(result);

    // Answering Yes to the question turns a windowed start into full screen.
    ViewerOptions asked;
    asked.steps = {
        "waitWindow '^Options$'",
        "xdotool windowfocus $WID; sleep 0.3; xdotool key Return",
        "waitWindow '^Morvista$'",
        "probe window \"$(windowSize)\"",
        "focusView",
        "xdotool key Escape",
    };
    result = runViewer("setWindowMode(); askFullScreen(); setScreenSize(800, 600); createWindow('Morvista')\n"
                       "mainLoop()\n",
                       asked);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(probeValue(result, "window"), "1280x1024") << failureContext(result);
}

// Keys held down with auto-repeat and mouse drags while the movement thread
// runs. The ThreadSanitizer check runs this case on its own build. The
// camera starts in the middle of the map, slow enough that the held keys
// keep it there, so the movement thread really moves it (not just pushes it
// against the edge) while the main thread draws.
TEST_F(ShellEndToEnd, HeldKeysAndMouseLook) {
    ViewerOptions options;
    options.steps = {
        "waitWindow '^Morvista$'",
        "focusView",
        "xdotool keydown w keydown Up; sleep 1.2; xdotool keyup w keyup Up",
        "xdotool keydown a; sleep 0.6; xdotool keyup a",
        "xdotool mousedown 1; xdotool mousemove_relative 40 10; sleep 0.2; xdotool mousemove_relative -- -30 5;"
        " sleep 0.2; xdotool mouseup 1",
        "xdotool click 3; xdotool mousemove_relative 25 0; sleep 0.3; xdotool click 3",
        "sleep 0.3; xdotool key Escape",
    };
    options.timeoutSeconds = 120;
    ViewerResult result = runViewer(std::string(windowedStart) +
                                        "setCameraMoveSpeed(0.2); setCameraAutoHeight(64, 100, 0, 0)\n"
                                        "sx, sy, sz = getCameraPosition()\n"
                                        "mainLoop()\n"
                                        "ex, ey, ez = getCameraPosition()\n"
                                        "print(format('moved %.3f %.3f to %.3f %.3f', sx, sz, ex, ez))\n"
                                        "print('loop ended')\n",
                                    options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_NE(result.out.find("loop ended"), std::string::npos) << failureContext(result);
    EXPECT_EQ(result.err.find("ThreadSanitizer"), std::string::npos) << failureContext(result);
    float startX = 0, startZ = 0, endX = 0, endZ = 0;
    size_t at = result.out.find("moved ");
    ASSERT_NE(at, std::string::npos) << failureContext(result);
    ASSERT_EQ(sscanf(result.out.c_str() + at, "moved %f %f to %f %f", &startX, &startZ, &endX, &endZ), 4);
    // W and Up step along -z (the view direction), A to the left (-x).
    EXPECT_LT(endZ, startZ - 1.0f) << "held W and Up moved the camera forward" << failureContext(result);
    EXPECT_LT(endX, startX - 0.5f) << "held A moved the camera to the left" << failureContext(result);
    EXPECT_GT(endZ, 1.0f) << "still on the map, not clamped at its edge" << failureContext(result);
}

TEST_F(ShellEndToEnd, DialogsRefuseInvalidInputAndAboutBoxesKeepTheSceneDrawing) {
    const std::string refocus = "xdotool windowfocus $WID; focusView";
    ViewerOptions options;
    options.environment = {{"MORVISTA_ECHO_STATUS", "1"}};
    options.steps = {
        "waitWindow '^Morvista$'",
        "focusView",
        // Camera speed: 0 is refused with a message, 2.5 is taken.
        "xdotool key alt+c; sleep 0.4; xdotool key Return; waitFor '^Camera Speed$'",
        "xdotool key ctrl+a; xdotool type 0; xdotool key Return; waitFor '^Error$'",
        "probe speedError \"$(xdotool search --onlyvisible --name '^Error$' | wc -l)\"",
        "xdotool key Return; waitGone '^Error$'",
        "xdotool key ctrl+a; xdotool type 2.5; xdotool key Return; waitGone '^Camera Speed$'",
        // Background colour: 300 is refused; Cancel keeps the scene colour; 10, 20, 30 is taken.
        refocus,
        "xdotool key alt+o; sleep 0.4; xdotool key Return; waitFor '^Background Colour$'",
        "xdotool key ctrl+a; xdotool type 300; xdotool key Return; waitFor '^Error$'",
        "probe colourError \"$(xdotool search --onlyvisible --name '^Error$' | wc -l)\"",
        "xdotool key Return; waitGone '^Error$'; xdotool key Escape; waitGone '^Background Colour$'",
        "sleep 0.3; viewShot cancelled.png",
        "probe cancelled \"$(pixel cancelled.png 5 5)\"",
        refocus,
        "xdotool key alt+o; sleep 0.4; xdotool key Return; waitFor '^Background Colour$'",
        "xdotool key ctrl+a; xdotool type 10; xdotool key Tab; xdotool type 20; xdotool key Tab; xdotool type 30",
        "xdotool key Return; waitGone '^Background Colour$'",
        "sleep 0.3; viewShot coloured.png",
        "probe coloured \"$(pixel coloured.png 5 5)\"",
        // Two about boxes at once; the frames go on behind them.
        refocus,
        "xdotool key alt+h; sleep 0.4; xdotool key Return; waitFor '^About$'",
        refocus,
        "xdotool key alt+h; sleep 0.4; xdotool key Return; sleep 0.5",
        "probe aboutBoxes \"$(xdotool search --onlyvisible --name '^About$' | wc -l)\"",
        "before=$(grep -c 'status bar: FPS' \"$WORK/stderr.txt\"); sleep 2.5",
        "probe framesWhileOpen $(( $(grep -c 'status bar: FPS' \"$WORK/stderr.txt\") - before ))",
        refocus,
        "xdotool key Escape",
    };
    ViewerResult result = runViewer(std::string(windowedStart) +
                                    "turnSkyOff(); turnNonLODPlantsOff(); turnLODPlantsOff()\n"
                                    "mainLoop()\nprint('loop ended')\n", options);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_NE(result.out.find("0speed 0.000000\n2.5speed 2.500000\n"), std::string::npos) << failureContext(result);
    EXPECT_EQ(probeValue(result, "speedError"), "1") << failureContext(result);
    EXPECT_EQ(probeValue(result, "colourError"), "1") << failureContext(result);
    EXPECT_EQ(probeValue(result, "cancelled"), "136,156,88") << failureContext(result);
    EXPECT_EQ(probeValue(result, "coloured"), "10,20,30") << failureContext(result);
    EXPECT_EQ(probeValue(result, "aboutBoxes"), "2") << failureContext(result);
    EXPECT_GE(std::atoi(probeValue(result, "framesWhileOpen").c_str()), 2) << failureContext(result);
    EXPECT_NE(result.out.find("loop ended"), std::string::npos) << failureContext(result);
}
