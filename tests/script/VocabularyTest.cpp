// VocabularyTest.cpp -- the whole script vocabulary as start-up registers it:
// every function in its group and order, bad arguments that end only the
// script, the waits, and menus built before anonymous(). Runs without a
// display.
#include <gtest/gtest.h>

#include <lua.hpp>

#include <chrono>
#include <string>
#include <vector>

#include "app/menus.h"
#include "app/window.h"
#include "camera/camera.h"
#include "scene/sceneConfig.h"
#include "script/scriptFunctions.h"
#include "script/scriptHost.h"
#include "util/output.h"

namespace {

std::string captured;
void capture(const char* text, size_t length) { captured.append(text, length); }

// The registration groups in their order, each with its functions in order.
const std::vector<std::vector<std::string>> groups = {
    {"askFullScreen", "setFullScreenMode", "setWindowMode", "mainLoop", "renderScene"},
    {"testing", "setTerrainAlgorithm", "setPlantAlgorithm", "Sleep", "hideMenus", "showMenus", "lockCamera",
     "unlockCamera", "runProgram", "turnTerrainLightOff", "turnTerrainLightOn", "turnTerrainMultitexturingOff",
     "turnTerrainMultitexturingOn", "turnTerrainOff", "turnTerrainOn", "turnPlantLightOff", "turnPlantLightOn",
     "turnSkyOn", "turnSkyOff", "turnNonLODPlantsOff", "turnNonLODPlantsOn", "turnLODPlantsOff", "turnLODPlantsOn",
     "anonymous", "hideStatusBar", "setTitle", "chdir", "getTerrainAlgorithms"},
    {"createConsole"},
    {"createWindow", "createFullScreenWindow", "setHMSize", "playSound"},
    {"setCameraLookAt", "setCamera", "setCameraPosition", "setCameraLookAtAutoHeight", "setCameraAutoHeight",
     "setCameraPositionAutoHeight", "getCameraPosition", "getCameraHorizontalAngle", "getCameraVerticalAngle",
     "setCameraMoveSpeed"},
    {"setFrameSamples", "measureFrameTime", "getSceneNumPolygons", "takeScreenShot", "timeGetTime"},
    {"writeToFile", "generateRandomSpline", "loadSpline", "interpolateSpline"},
    {"setScreenSize"},
    {"setSceneFolder", "getSceneRecord"},
    {"setTerrainError"},
    {"measureTerrainError", "measurePlantError", "turnUniformTexturingOn", "turnUniformTexturingOff",
     "measureTerrainPopping", "turnPoppingMeasureOn", "turnPoppingMeasureOff", "turnGeomorphingOn",
     "turnGeomorphingOff"},
    {"getFrameTime", "getFrameTimes", "getFrameCount", "getProgramVersion", "getGLRenderer", "getGLVersion", "getViewportSize",
     "summarise", "spreadOf", "writeBenchmarkPlot", "turnFrameGraphOn", "turnFrameGraphOff"},
    {"setViewNotice", "getOverlayText"},
};

class Vocabulary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        host = createScriptHost();
        // Record the order in which globals are defined while the groups
        // are registered.
        lua_State* L = host->luaState;
        luaL_dostring(L,
                      "registered = {}\n"
                      "setmetatable(_G, {__newindex = function(t, k, v)\n"
                      "  registered[#registered + 1] = k; rawset(t, k, v) end})");
        registerScriptFunctions(host);
        luaL_dostring(L, "setmetatable(_G, nil)");
    }
    void SetUp() override {
        captured.clear();
        setOutputHook(capture);
    }
    void TearDown() override { setOutputHook(nullptr); }
    static int run(const std::string& chunk) {
        captured.clear();
        return runScriptChunk(host, chunk.c_str());
    }
    static void TearDownTestSuite() {
        destroyScriptHost(host);
        host = nullptr;
    }
    static ScriptHost* host;
};
ScriptHost* Vocabulary::host = nullptr;

}  // namespace

TEST_F(Vocabulary, EveryFunctionIsRegisteredInItsGroupAndOrder) {
    lua_State* L = host->luaState;
    std::vector<std::string> expected;
    for (const auto& group : groups) expected.insert(expected.end(), group.begin(), group.end());
    std::vector<std::string> registered;
    lua_getglobal(L, "registered");
    for (lua_Integer i = 1; i <= luaL_len(L, -1); ++i) {
        lua_geti(L, -1, i);
        registered.push_back(lua_tostring(L, -1));
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    EXPECT_EQ(registered, expected);

    std::vector<std::string> everything = expected;
    everything.insert(everything.begin(), {"addone", "messageBox", "messageBoxTitle"});
    for (const std::string& name : everything) {
        lua_getglobal(L, name.c_str());
        EXPECT_TRUE(lua_iscfunction(L, -1)) << name << " is not a function of the program";
        lua_pop(L, 1);
    }
    ASSERT_EQ(run("answer = addone(41)"), 0);
    lua_getglobal(L, "answer");
    EXPECT_EQ(lua_tonumber(L, -1), 42.0);
    lua_pop(L, 1);
}

TEST_F(Vocabulary, AMissingOrWrongArgumentEndsOnlyTheScript) {
    // Each call lacks an argument or has one of the wrong type; it must be
    // reported naming the function, change nothing, and leave the host able
    // to run the next script.
    const char* calls[] = {
        "addone()", "messageBox()", "messageBoxTitle('text')", "setTerrainAlgorithm()",
        "setPlantAlgorithm({})", "Sleep('long')", "runProgram()", "setTitle()", "chdir()",
        "createWindow()", "createFullScreenWindow(640, 480, 16, 1)", "setHMSize()", "playSound()",
        "setCameraLookAt(1, 2, 3, 4, 5)", "setCamera(1, 2, 3, 4)", "setCameraPosition('x', 2, 3)",
        "setCameraLookAtAutoHeight(1, 2, 3)", "setCameraAutoHeight(1, 2, 3)", "setCameraPositionAutoHeight(1)",
        "setCameraMoveSpeed()", "setFrameSamples('many')", "takeScreenShot()", "writeToFile('unused.txt')",
        "generateRandomSpline('unused.txt')", "loadSpline('unused.txt')", "interpolateSpline(0)",
        "setScreenSize(640)", "setSceneFolder()", "setTerrainError()", "setTerrainError(-1)", "setTerrainError(0/0)",
        "setTerrainError(1/0)", "setTerrainError(1e300)", "setTerrainError(10000.5)",
        "summarise(3)", "spreadOf()", "writeBenchmarkPlot('plot.png')",
    };
    setCameraAll(5.0f, 6.0f, 7.0f, 8.0f, 9.0f);
    screenWidth = 800;
    screenHeight = 600;
    for (const char* call : calls) {
        std::string name(call, std::string(call).find('('));
        EXPECT_NE(run(std::string(call) + " reached = 1"), 0) << call;
        EXPECT_NE(captured.find("bad argument"), std::string::npos) << call << ": " << captured;
        EXPECT_NE(captured.find("'" + name + "'"), std::string::npos) << call << ": " << captured;
    }
    float x = 0, y = 0, z = 0;
    getCameraPositionXYZ(x, y, z);
    EXPECT_EQ(x, 5.0f);
    EXPECT_EQ(y, 6.0f);
    EXPECT_EQ(z, 7.0f);
    EXPECT_EQ(getCamera()->horizontalAngle.load(), 8.0f);
    EXPECT_EQ(screenWidth, 800);
    EXPECT_EQ(screenHeight, 600);
    EXPECT_EQ(terrainErrorTolerance, 0.0f) << "a refused tolerance changes nothing";
    EXPECT_EQ(run("return reached"), 0);
    lua_getglobal(host->luaState, "reached");
    EXPECT_TRUE(lua_isnil(host->luaState, -1)) << "a script went on after a bad argument";
    lua_pop(host->luaState, 1);
    EXPECT_EQ(run("x = addone(1)"), 0) << "the host runs the next script";
}

TEST_F(Vocabulary, SetTerrainErrorSetsTheToleranceInPixels) {
    EXPECT_EQ(run("setTerrainError(1.5)"), 0);
    EXPECT_EQ(terrainErrorTolerance, 1.5f);
    EXPECT_EQ(run("setTerrainError(10000)"), 0);
    EXPECT_EQ(terrainErrorTolerance, 10000.0f) << "the largest tolerance taken";
    EXPECT_EQ(run("setTerrainError(0)"), 0);
    EXPECT_EQ(terrainErrorTolerance, 0.0f) << "0 brings back the fixed rules";
}

TEST_F(Vocabulary, WaitingFunctionsBlockForTheirTime) {
    struct Case {
        const char* call;
        int milliseconds;
    };
    const Case cases[] = {
        {"setTerrainAlgorithm('no such algorithm')", 10},
        {"Sleep(40.9)", 40},
        {"hideMenus()", 500},
    };
    terrainAlgorithm = 603;
    for (const Case& c : cases) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(run(c.call), 0) << c.call;
        auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed, std::chrono::milliseconds(c.milliseconds)) << c.call;
    }
    EXPECT_EQ(terrainAlgorithm, 603) << "a name with no known part changes nothing";
}

TEST_F(Vocabulary, AnonymousRenamesOnlyMenusBuiltAfterIt) {
    auto terrainItems = [] {
        std::vector<std::string> texts;
        for (const MenuRecord& menu : menuBarTree()) {
            if (std::string(menu.title) != "&Terrain Algorithms") continue;
            for (const MenuItemRecord& item : menu.items) {
                if (item.identifier >= 600 && item.identifier <= 603) texts.push_back(item.text);
            }
        }
        return texts;
    };
    anonymousMode = 0;
    buildMenus();
    ASSERT_EQ(run("anonymous()"), 0);
    EXPECT_EQ(anonymousMode, 1);
    EXPECT_EQ(terrainItems(), (std::vector<std::string>{"&Brute Force", "&Geomipmapping", "&ROAM 2.0"}));
    buildMenus();
    EXPECT_EQ(terrainItems(),
              (std::vector<std::string>{"&Algorithm 1", "&Algorithm 2", "&Algorithm 3", "&Algorithm 4"}));
    anonymousMode = 0;
    buildMenus();
}
