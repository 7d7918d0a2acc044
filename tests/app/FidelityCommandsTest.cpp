// FidelityCommandsTest.cpp -- the fidelity menu items and script functions:
// the measurement items print their line on the console, the script
// functions return the numbers in order (math.huge for an infinite PSNR) or
// nil when there is nothing to measure, and the uniform texturing switch
// sets its value and its menu mark. Offscreen, on a small synthetic scene.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <lua.hpp>

#include <cmath>
#include <regex>
#include <string>

#include "app/input.h"
#include "app/menus.h"
#include "camera/camera.h"
#include "scene/sceneConfig.h"
#include "script/scriptFunctions.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainPopping.h"
#include "terrain/terrainTestSupport.h"
#include "util/output.h"
#include "vegetation/plantSet.h"

namespace {

std::string captured;
void capture(const char* text, size_t length) { captured.append(text, length); }

class FidelityCommands : public ::testing::Test {
protected:
    void SetUp() override {
        captured.clear();
        setOutputHook(capture);
        L = luaL_newstate();
        luaL_openlibs(L);
        registerFidelityGroup(L);
        menusHidden = 0;
        anonymousMode = 0;
        uniformTexturing = 0;
        buildMenus();
    }
    void TearDown() override {
        setOutputHook(nullptr);
        lua_close(L);
    }
    // A small scene in view; false without an offscreen context.
    bool sceneInView() {
        if (!prepareTerrainGl()) return false;
        baseTexture = makeTestTexture(8, 8, true, [](int x, int y, uint8_t* rgb) {
            rgb[0] = static_cast<uint8_t>(30 * x);
            rgb[1] = static_cast<uint8_t>(30 * y);
            rgb[2] = 90;
        });
        lightmapTexture = baseTexture;
        fillMap(bruteTerrain, 65, [](int x, int z) { return 100 + 40 * std::sin(x * 0.3) * std::cos(z * 0.2); });
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 1.0, 1.0, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        setCameraAll(5.0f, 50.0f, 60.0f, 30.0f, 30.0f);
        terrainAlgorithm = terrainBruteForce;
        showTerrain = 1;
        return true;
    }
    // Runs a chunk; "" when it ran, otherwise the error.
    std::string run(const char* chunk) {
        if (luaL_dostring(L, chunk) == LUA_OK) return "";
        std::string error = lua_tostring(L, -1);
        lua_pop(L, 1);
        return error;
    }
    lua_State* L = nullptr;
};

}  // namespace

TEST_F(FidelityCommands, MeasureTerrainErrorItemPrintsTheLineTheScriptReturns) {
    if (!sceneInView()) GTEST_SKIP() << "no offscreen OpenGL context";
    onCommand(measureTerrainErrorCommand);
    // Brute force against itself; the maximum shows the depth buffer's rounding (hundredths of a pixel).
    EXPECT_TRUE(std::regex_match(captured, std::regex("Terrain error: 95th percentile 0\\.00 px, maximum 0\\.0[0-9] px, "
                                                      "differing pixels 0\\.0000, PSNR inf\n")))
        << captured;

    captured.clear();
    EXPECT_EQ(run("p95, worst, share, psnr = measureTerrainError()\n"
                  "assert(p95 < 0.01 and worst < 0.05, 'brute force against itself')\n"
                  "assert(share == 0 and psnr == math.huge, 'identical pictures')"),
              "");
    EXPECT_NE(captured.find("Terrain error: 95th percentile"), std::string::npos) << captured;
}

TEST_F(FidelityCommands, NothingToMeasureSaysWhyAndReturnsNil) {
    const struct {
        const char* label;
        int algorithm, terrainShown, plants, grass;
        const char* chunk;
        const char* line;
    } cases[] = {
        {"quad-tree", terrainQuadTree, 1, 1, 1, "assert(measureTerrainError() == nil)",
         "Terrain error: the quad-tree draws no terrain; nothing to measure\n"},
        {"terrain off", terrainRoam, 0, 1, 1, "assert(select('#', measureTerrainError()) == 1)",
         "Terrain error: the terrain is switched off; nothing to measure\n"},
        {"plants and grass off", terrainBruteForce, 1, 0, 0, "assert(measurePlantError() == nil)",
         "Plant error: the plants and the grass are switched off; nothing to measure\n"},
    };
    for (const auto& c : cases) {
        terrainAlgorithm = c.algorithm;
        showTerrain = c.terrainShown;
        showPlants = c.plants;
        showGrass = c.grass;
        captured.clear();
        EXPECT_EQ(run(c.chunk), "") << c.label;
        EXPECT_EQ(captured, c.line) << c.label;
    }
    captured.clear();
    onCommand(measurePlantErrorCommand);
    EXPECT_EQ(captured, "Plant error: the plants and the grass are switched off; nothing to measure\n");
    showTerrain = showPlants = showGrass = 1;
}

TEST_F(FidelityCommands, UniformTexturingSwitchSetsValueAndMark) {
    EXPECT_FALSE(menuItemChecked(uniformTexturingCommand));
    EXPECT_EQ(run("turnUniformTexturingOn()"), "");
    EXPECT_EQ(uniformTexturing, 1);
    EXPECT_TRUE(menuItemChecked(uniformTexturingCommand));
    onCommand(uniformTexturingCommand);
    EXPECT_EQ(uniformTexturing, 0);
    EXPECT_FALSE(menuItemChecked(uniformTexturingCommand));
    EXPECT_EQ(run("turnUniformTexturingOn(); turnUniformTexturingOff()"), "");
    EXPECT_EQ(uniformTexturing, 0);
    EXPECT_FALSE(menuItemChecked(uniformTexturingCommand));
}

TEST_F(FidelityCommands, GeomorphingSwitchSetsValueAndMark) {
    EXPECT_FALSE(menuItemChecked(geomorphingCommand));
    EXPECT_EQ(geomorphing, 0) << "off by default";
    EXPECT_EQ(run("turnGeomorphingOn()"), "");
    EXPECT_EQ(geomorphing, 1);
    EXPECT_TRUE(menuItemChecked(geomorphingCommand));
    onCommand(geomorphingCommand);
    EXPECT_EQ(geomorphing, 0);
    EXPECT_FALSE(menuItemChecked(geomorphingCommand));
    EXPECT_EQ(run("turnGeomorphingOn(); turnGeomorphingOff()"), "");
    EXPECT_EQ(geomorphing, 0);
}

// Popping needs the meshes of two frames drawn while it is measured: off,
// or right after turning it on, the script gets nil and the console why.
TEST_F(FidelityCommands, PoppingIsMeasuredOnlyAfterTwoFramesKept) {
    captured.clear();
    EXPECT_EQ(run("assert(measureTerrainPopping() == nil)"), "");
    EXPECT_NE(captured.find("Terrain popping: not being measured"), std::string::npos) << captured;
    captured.clear();
    onCommand(measureTerrainPoppingCommand);
    EXPECT_NE(captured.find("Terrain popping: not being measured"), std::string::npos) << captured;
    captured.clear();
    EXPECT_EQ(run("turnPoppingMeasureOn(); assert(measureTerrainPopping() == nil); turnPoppingMeasureOff()"), "");
    EXPECT_NE(captured.find("Terrain popping: "), std::string::npos) << captured;
    EXPECT_FALSE(poppingMeasureOn);
}
