// ShellScriptsTest.cpp -- the window, interface and console script
// functions, run through the script host without a window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/input.h"
#include "app/menus.h"
#include "app/window.h"
#include "scene/sceneConfig.h"
#include "script/scriptFunctions.h"
#include "script/scriptHost.h"
#include "sky/skyBox.h"
#include "vegetation/plantSet.h"

namespace {

class ShellScripts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // No display: everything here must work (or fail cleanly) without one.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        host = createScriptHost();
        registerScriptFunctions(host);
    }
    void SetUp() override {
        anonymousMode = 0;
        menusHidden = 0;
        cameraLocked = 0;
        buildMenus();
    }
    // Runs the chunk; returns what it printed.
    static std::string run(const char* chunk, int* result = nullptr) {
        testing::internal::CaptureStdout();
        int code = runScriptChunk(host, chunk);
        if (result) *result = code;
        return testing::internal::GetCapturedStdout();
    }
    static void TearDownTestSuite() {
        destroyScriptHost(host);
        host = nullptr;
    }
    static ScriptHost* host;
};
ScriptHost* ShellScripts::host = nullptr;

}  // namespace

TEST_F(ShellScripts, WindowModeAndSize) {
    run("setFullScreenMode(); setScreenSize(1024.9, 768.2)");
    EXPECT_TRUE(fullScreen);
    EXPECT_EQ(screenWidth, 1024);
    EXPECT_EQ(screenHeight, 768);
    run("setWindowMode(); createFullScreenWindow(640, 480, 16, 1, 'x')");
    EXPECT_FALSE(fullScreen);
    EXPECT_EQ(screenWidth, 1024) << "createFullScreenWindow changes nothing";
    // Without a display the question cannot be asked: the answer is No.
    std::string printed = run("setFullScreenMode(); askFullScreen()");
    EXPECT_FALSE(fullScreen);
    EXPECT_EQ(printed, "Options: Click Yes to go to full screen (Recommended)\n");
    run("setHMSize(300)");
    EXPECT_EQ(heightmapSize, 129);
    run("setHMSize(257)");
    EXPECT_EQ(heightmapSize, 257);
    run("setScreenSize(800, 600); setHMSize(129)");
}

TEST_F(ShellScripts, TerrainAndPlantAlgorithmsByName) {
    struct Case {
        const char* call;
        int terrain;
        int plant;
    };
    const Case cases[] = {
        {"setTerrainAlgorithm('roam')", 603, -1},
        {"setTerrainAlgorithm('geomipmapping')", 601, -1},
        {"setTerrainAlgorithm('quadtree')", 602, -1},
        {"setTerrainAlgorithm('bruteforce')", 600, -1},
        {"setTerrainAlgorithm('nothing known')", 600, -1},
        {"setTerrainAlgorithm('ROAM')", 600, -1},  // names are case-sensitive
        {"setPlantAlgorithm('xbill')", -1, 2},
        {"setPlantAlgorithm('bill')", -1, 3},
        {"setPlantAlgorithm('smooth')", -1, 5},
        {"setPlantAlgorithm('mix')", -1, 4},
        {"setPlantAlgorithm('brute')", -1, 1},
        {"setPlantAlgorithm('other')", -1, 1},
    };
    for (const Case& c : cases) {
        int result = -1;
        run(c.call, &result);
        EXPECT_EQ(result, 0) << c.call;
        if (c.terrain >= 0) {
            EXPECT_EQ(terrainAlgorithm, c.terrain) << c.call;
        }
        if (c.plant >= 0) {
            EXPECT_EQ(plantAlgorithm, c.plant) << c.call;
        }
    }
    EXPECT_TRUE(menuItemChecked(514));
    EXPECT_TRUE(menuItemChecked(600));
}

TEST_F(ShellScripts, SwitchesSetTheirValueAndMark) {
    struct Case {
        const char* off;
        const char* on;
        int* value;
        int item;
    };
    const Case cases[] = {
        {"turnTerrainLightOff()", "turnTerrainLightOn()", &lightmapEnabled, 499},
        {"turnTerrainMultitexturingOff()", "turnTerrainMultitexturingOn()", &splattingEnabled, 513},
        {"turnTerrainOff()", "turnTerrainOn()", &showTerrain, 526},
        {"turnPlantLightOff()", "turnPlantLightOn()", &plantLighting, 498},
        {"turnSkyOff()", "turnSkyOn()", &skyEnabled, 507},
        {"turnNonLODPlantsOff()", "turnNonLODPlantsOn()", &showPlants, 524},
        {"turnLODPlantsOff()", "turnLODPlantsOn()", &showGrass, 527},
    };
    for (const Case& c : cases) {
        run(c.on);
        EXPECT_EQ(*c.value, 1) << c.on;
        EXPECT_TRUE(menuItemChecked(c.item)) << c.on;
        run(c.off);
        EXPECT_EQ(*c.value, 0) << c.off;
        EXPECT_FALSE(menuItemChecked(c.item)) << c.off;
    }
    run("lockCamera()");
    EXPECT_EQ(cameraLocked.load(), 1);
    EXPECT_TRUE(menuItemChecked(511));
    run("unlockCamera()");
    EXPECT_EQ(cameraLocked.load(), 0);
    EXPECT_FALSE(menuItemChecked(511));
    run("anonymous()");
    EXPECT_EQ(anonymousMode, 1);
    EXPECT_FALSE(menuItemChecked(602)) << "menus built before anonymous() keep their names";
}

TEST_F(ShellScripts, LoopFunctionsWithoutAWindow) {
    EXPECT_EQ(run("mainLoop() print('after')"), "Window must be created first\nafter\n");
    // renderScene without a window stops the script at once, naming it.
    int stopped = 0;
    std::string printed = run("renderScene() print('went on')", &stopped);
    EXPECT_NE(stopped, 0);
    EXPECT_EQ(printed.find("went on\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("error: this script needs the viewer: open it with File > Open, or run it after "
                           "createWindow\n"),
              std::string::npos)
        << printed;
    EXPECT_EQ(run("hideMenus() showMenus()"), "lua show\n");
    EXPECT_EQ(menusHidden.load(), 0) << "no window: the menus stay";
    int result = 0;
    run("createWindow('Morvista')", &result);
    EXPECT_NE(result, 0) << "without a display createWindow is a script error, not a crash";
    run("createConsole() setTitle('x') hideStatusBar()", &result);
    EXPECT_EQ(result, 0);
}

TEST_F(ShellScripts, RunProgramWaitsForTheProgramAndChdirIgnoresFailure) {
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / ("morvistaShellScripts" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::path marker = folder / "marker.txt";
    std::string chunk = "runProgram('sleep 0.2; echo made > \"" + marker.string() + "\"')";
    EXPECT_EQ(run(chunk.c_str()), "running\nend run\n");
    std::ifstream made(marker);
    std::string word;
    made >> word;
    EXPECT_EQ(word, "made") << "the script goes on only after the program has ended";
    EXPECT_EQ(run("runProgram('exit 3')"), "running\nend run\n");

    fs::path before = fs::current_path();
    run(("chdir('" + folder.string() + "')").c_str());
    EXPECT_EQ(fs::current_path(), folder);
    int result = -1;
    run("chdir('/no/such/folder')", &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fs::current_path(), folder);
    fs::current_path(before);
    fs::remove_all(folder);
}
