// OverlayE2eTest.cpp -- a newcomer's first minute on a virtual display: F1
// shows the key table over the view, I the information corner, key 2
// switches to geomipmapping and the corner names it; Escape closes the help
// before it quits. A screenshot taken while the text shows has none of it,
// though the screen has.
#include <gtest/gtest.h>

#include <string>

#include "e2eHarness.h"
#include "e2ePictures.h"

TEST(OverlayEndToEnd, HelpAndInformationOverTheViewNameTheAlgorithmAndStayOutOfShots) {
    if (!e2eAvailable()) GTEST_SKIP() << "needs " << e2eBinary() << ", xvfb-run, xdotool, xwininfo, import";
    std::string work = e2eWorkFolder();
    // The script reports the text over the view whenever it changes, as
    // one line ("OVERLAY " and the lines joined by " | "), and takes a shot
    // when the steps ask for one. The last Escape ends it.
    std::string script = e2eMarkerPrelude(work) +
                         "setWindowMode(); setScreenSize(640, 480); setHMSize(129)\n"
                         "createWindow('Overlay test')\n"
                         "lockCamera(); setTerrainAlgorithm('brute'); turnTerrainOn(); chdir(WORK)\n"
                         "setCameraAutoHeight(102, 64, 180, 10)\n"
                         "function frames(n) for i = 1, n do renderScene() end end\n"
                         "frames(10); takeScreenShot('plain.tga'); frames(5)\n"
                         "print('ready')\n"
                         "shown = ''; shot = nil\n"
                         "for i = 1, 100000 do\n"
                         "  renderScene()\n"
                         "  local text = getOverlayText()\n"
                         "  if text ~= shown then\n"
                         "    shown = text\n"
                         "    print('OVERLAY ' .. (string.gsub(text, '\\n', ' | ')))\n"
                         "  end\n"
                         "  if not shot and marker('shoot') then\n"
                         "    shot = 1; takeScreenShot('overlays.tga'); frames(5); print('shot taken')\n"
                         "  end\n"
                         "end\n";
    ViewerOptions options;
    options.timeoutSeconds = 180;
    options.steps = {e2eWaitOutputStep,
                     "waitWindow 'Overlay test'",
                     "waitOutput '^ready'",
                     "focusView",
                     "xdotool key F1; waitOutput '^OVERLAY Keys'",
                     "xdotool key i; waitOutput '^OVERLAY Keys.*Terrain: Brute Force'",
                     "viewShot onscreen.ppm",
                     "touch \"$WORK/shoot\"; waitOutput '^shot taken'",
                     "xdotool key 2; waitOutput 'Terrain: Geomipmapping'",
                     // Escape closes the help; the program keeps running.
                     "xdotool key Escape; waitOutput '^OVERLAY Terrain: Geomipmapping'",
                     "running && probe afterFirstEscape running",
                     "xdotool key Escape"};
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << "the second Escape quits" << failureContext(result);
    EXPECT_EQ(probeValue(result, "afterFirstEscape"), "running") << failureContext(result);

    // The help first, then the corner; with the help closed only the corner.
    std::string withBoth, afterSwitch, afterEscape;
    size_t at = 0;
    while ((at = result.out.find("OVERLAY ", at)) != std::string::npos) {
        std::string line = result.out.substr(at, result.out.find('\n', at) - at);
        if (line.find("Keys") != std::string::npos && line.find("Brute Force") != std::string::npos)
            withBoth = line;
        if (line.find("Keys") != std::string::npos && line.find("Geomipmapping") != std::string::npos)
            afterSwitch = line;
        if (line.find("Keys") == std::string::npos && line.find("Geomipmapping") != std::string::npos)
            afterEscape = line;
        at += line.size();
    }
    ASSERT_FALSE(withBoth.empty()) << failureContext(result);
    EXPECT_NE(withBoth.find("F1"), std::string::npos) << withBoth;
    EXPECT_NE(withBoth.find("Camera: x 102.0"), std::string::npos) << withBoth;
    EXPECT_NE(withBoth.find("polygons "), std::string::npos) << withBoth;
    EXPECT_FALSE(afterSwitch.empty()) << "key 2 names geomipmapping in the corner" << failureContext(result);
    EXPECT_NE(afterEscape.find("Tolerance: "), std::string::npos) << afterEscape << failureContext(result);

    Picture plain = readTga(e2eReadFile(work + "/plain.tga"));
    Picture withText = readTga(e2eReadFile(work + "/overlays.tga"));
    Picture screen = readPpm(e2eReadFile(work + "/onscreen.ppm"));
    ASSERT_EQ(withText.width, 640) << failureContext(result);
    ASSERT_EQ(withText.height, 480);
    ASSERT_EQ(screen.width, 640) << failureContext(result);
    ASSERT_EQ(screen.height, 480);
    EXPECT_LT(meanDifference(withText, plain, 0, 0, 640, 480), 1.0) << "no text in the screenshot";
    // The key table sits in the middle of the view, the corner at its top left.
    EXPECT_GT(meanDifference(screen, withText, 220, 140, 200, 200), 10.0) << "the key table is on screen";
    EXPECT_GT(meanDifference(screen, withText, 10, 10, 150, 40), 10.0) << "the corner is on screen";
}
