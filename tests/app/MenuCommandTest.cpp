// MenuCommandTest.cpp -- the menu tree, its marks, and what each command,
// key and script-sent command does to the settings (no window needed).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/frameGraph.h"
#include "app/input.h"
#include "app/mainLoop.h"
#include "app/overlay.h"
#include "app/menus.h"
#include "app/statusBar.h"
#include "camera/camera.h"
#include "camera/frustum.h"
#include "camera/homeView.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "sky/skyBox.h"
#include "vegetation/plantSet.h"

namespace {

class MenuCommands : public ::testing::Test {
protected:
    void SetUp() override {
        terrainAlgorithm = terrainQuadTree;
        plantAlgorithm = 1;
        showTerrain = 0;
        splattingEnabled = 0;
        lightmapEnabled = 0;
        showPlants = 1;
        showGrass = 1;
        plantLighting = 1;
        skyEnabled = 1;
        frustumCulling = 1;
        gridEnabled = 0;
        flyMode = 0;
        cameraLocked = 0;
        lookMode = 0;
        menusHidden = 0;
        anonymousMode = 0;
        printCameraXZ = 0;
        helpShown = 0;
        informationShown = 0;
        releaseAllKeys();
        buildMenus();
    }
};

std::vector<int> checkedItems() {
    std::vector<int> marked;
    for (const MenuRecord& menu : menuBarTree())
        for (const MenuItemRecord& item : menu.items)
            if (item.checked) marked.push_back(item.identifier);
    return marked;
}

std::string treeText() {
    std::string text;
    for (const MenuRecord& menu : menuBarTree()) {
        text += std::string(menu.title) + ":";
        for (const MenuItemRecord& item : menu.items)
            text += " [" + std::to_string(item.identifier) + "]" + item.text;
        text += "\n";
    }
    return text;
}

}  // namespace

TEST_F(MenuCommands, TreeHasEveryItemWithItsTextAndInitialMarks) {
    EXPECT_EQ(treeText(),
              "&File: [501]&Open [500]E&xit\tESC\n"
              "&Tools: [502]&Display Texture List [509]&Hide Menus\tH [510]&Screenshot\tF12 "
              "[902]Measure &Terrain Error [903]Measure &Plant Error [920]Measure Terrain Popping "
              "[910]&Frame Time Graph\n"
              "&Options: [503]&Background Colour [506]&Wireframe [700]&Grid [911]&Information\tI\n"
              "&Camera: [522]&Camera Speed [505]&Clipping Planes [523]&Frustum Culling [508]&Look Mode "
              "[511]&Lock Camera [521]&Crouch Mode\tC [520]&Fly Mode [912]&Reset View\tR\n"
              "&Atmosphere: [507]&Sky Box\n"
              "&Terrain Algorithms: [600]&Brute Force [601]&Geomipmapping [603]&ROAM 2.0 "
              "[604]CDLOD [605]Geometry Clipmaps [513]&Multi-texture Splatting\tM [499]&Lighting [526]&Show Terrain "
              "[901]Same Texturing for All Algorithms [921]Geomorphing [900]&Error Tolerance...\n"
              "&Plant Algorithms: [514]&Brute Force [515]&X Billboards [516]&Billboards "
              "[517]&Mixed based on distance [518]&Smooth transition based on distance [498]&Lighting "
              "[524]&Show Plants [527]&Show Grass\n"
              "&Help: [504]&About [913]&Keys\tF1\n");
    EXPECT_EQ(checkedItems(), (std::vector<int>{523, 507, 499, 526, 498, 524, 527}));
}

TEST_F(MenuCommands, AnonymousTreeNamesAlgorithmsByNumberAndOffersQuadTree) {
    anonymousMode = 1;
    buildMenus();
    std::string text = treeText();
    EXPECT_NE(text.find("&Terrain Algorithms: [600]&Algorithm 1 [601]&Algorithm 2 [602]&Algorithm 3 "
                        "[603]&Algorithm 4 [604]&Algorithm 5 [605]&Algorithm 6 [513]"),
              std::string::npos);
    EXPECT_NE(text.find("&Plant Algorithms: [514]&Algorithm 1 [515]&Algorithm 2 [516]&Algorithm 3 "
                        "[517]&Algorithm 4 [518]&Algorithm 5 [498]"),
              std::string::npos);
    onCommand(602);
    EXPECT_EQ(terrainAlgorithm, 602);
    EXPECT_TRUE(menuItemChecked(602));
}

TEST_F(MenuCommands, ToggleCommandsFlipTheirSettingAndMark) {
    struct Case {
        int identifier;
        int (*value)();
    };
    const Case cases[] = {
        {498, [] { return plantLighting; }},
        {499, [] { return lightmapEnabled; }},
        {507, [] { return skyEnabled; }},
        {511, [] { return int(cameraLocked); }},
        {513, [] { return splattingEnabled; }},
        {520, [] { return int(flyMode); }},
        {523, [] { return frustumCulling; }},
        {524, [] { return showPlants; }},
        {526, [] { return showTerrain; }},
        {527, [] { return showGrass; }},
        {700, [] { return gridEnabled; }},
        {901, [] { return uniformTexturing; }},
        {921, [] { return geomorphing; }},
        {910, [] { return frameGraphEnabled; }},
        {informationCommand, [] { return informationShown; }},
    };
    for (const Case& c : cases) {
        int before = c.value();
        bool markBefore = menuItemChecked(c.identifier);
        onCommand(c.identifier);
        EXPECT_EQ(c.value(), 1 - before) << "command " << c.identifier;
        EXPECT_NE(menuItemChecked(c.identifier), markBefore) << "command " << c.identifier;
        onCommand(c.identifier);
        EXPECT_EQ(c.value(), before) << "command " << c.identifier << " twice";
        EXPECT_EQ(menuItemChecked(c.identifier), markBefore) << "command " << c.identifier << " twice";
    }
}

TEST_F(MenuCommands, RadioCommandsMoveOneMarkWithinTheirRange) {
    onCommand(601);
    EXPECT_EQ(terrainAlgorithm, 601);
    onCommand(603);
    EXPECT_EQ(terrainAlgorithm, 603);
    EXPECT_TRUE(menuItemChecked(603));
    EXPECT_FALSE(menuItemChecked(601));
    onCommand(516);
    EXPECT_EQ(plantAlgorithm, 3);
    onCommand(518);
    EXPECT_EQ(plantAlgorithm, 5);
    EXPECT_TRUE(menuItemChecked(518));
    EXPECT_FALSE(menuItemChecked(516));
    EXPECT_TRUE(menuItemChecked(603)) << "plant marks leave the terrain mark alone";
    // Without the quad-tree item, choosing it clears the terrain marks.
    selectTerrainAlgorithm(602);
    EXPECT_EQ(terrainAlgorithm, 602);
    EXPECT_FALSE(menuItemChecked(603));
}

TEST_F(MenuCommands, HiddenBarKeepsMarksSetThroughTheMenuBarOnly) {
    onCommand(800);  // hide, as scripts do
    EXPECT_EQ(menusHidden.load(), 1);
    EXPECT_EQ(statusBarHidden, 1);
    selectTerrainAlgorithm(603);
    EXPECT_EQ(terrainAlgorithm, 603);
    EXPECT_FALSE(menuItemChecked(603)) << "no menu is attached to the window";
    selectPlantAlgorithm(517);
    EXPECT_EQ(plantAlgorithm, 4);
    EXPECT_TRUE(menuItemChecked(517));
    setMenuCheck(507, false);
    EXPECT_FALSE(menuItemChecked(507));
    onCommand(801);
    EXPECT_EQ(menusHidden.load(), 0);
    EXPECT_EQ(statusBarHidden, 0);
    EXPECT_TRUE(menuItemChecked(517));
}

TEST_F(MenuCommands, LookModeCommandAndRightButton) {
    onCommand(508);
    EXPECT_EQ(lookMode.load(), 1);
    EXPECT_TRUE(menuItemChecked(508));
    onMouseButton(2, 1, 10, 10, nullptr);
    onMouseButton(2, 0, 10, 10, nullptr);
    EXPECT_EQ(lookMode.load(), 0);
    EXPECT_FALSE(menuItemChecked(508));
    cameraLocked = 1;
    onMouseButton(2, 1, 10, 10, nullptr);
    EXPECT_EQ(lookMode.load(), 0) << "a locked camera ignores the right button";
    EXPECT_EQ(rightButtonDown.load(), 1);
}

TEST_F(MenuCommands, KeysChangeSettingsWithoutTouchingMarks) {
    onCommand(600);
    onKeyDown('2');
    EXPECT_EQ(terrainAlgorithm, 601);
    EXPECT_TRUE(menuItemChecked(600)) << "the radio mark stays where it was";
    onKeyDown('4');
    EXPECT_EQ(terrainAlgorithm, 603);
    struct Case {
        int key;
        int (*value)();
    };
    const Case flips[] = {
        {'M', [] { return splattingEnabled; }},
        {'5', [] { return splattingEnabled; }},
        {'0', [] { return frustumCulling; }},
        {'6', [] { return lightmapEnabled; }},
        {'7', [] { return showTerrain; }},
        {'Z', [] { return int(printCameraXZ); }},
        {'H', [] { return int(menusHidden); }},
        {'S', [] { return statusBarHidden; }},
        {'I', [] { return informationShown; }},
        {keyF1, [] { return helpShown; }},
    };
    for (const Case& c : flips) {
        int before = c.value();
        onKeyDown(c.key);
        EXPECT_EQ(c.value(), 1 - before) << "key " << char(c.key);
        onKeyUp(c.key);
    }
    EXPECT_TRUE(menuItemChecked(523)) << "0 flips culling but not its mark";
    EXPECT_FALSE(menuItemChecked(informationCommand)) << "I leaves the Information mark alone";
}

TEST_F(MenuCommands, KeysHelpAndResetViewCommands) {
    helpShown = 0;
    onCommand(keysHelpCommand);
    EXPECT_EQ(helpShown, 1);
    EXPECT_FALSE(menuItemChecked(keysHelpCommand)) << "no mark: F1 and Escape close it too";
    onKeyDown(keyEscape);
    EXPECT_EQ(helpShown, 0) << "Escape closes the key table";
    onKeyUp(keyEscape);

    // A script's camera is the view both Reset View and R go back to.
    setCameraAll(60.0f, 12.0f, 200.0f, 35.0f, 8.0f);
    recordHomeView();
    for (int way = 0; way < 2; ++way) {
        setCameraAll(1.0f, 2.0f, 3.0f, 4.0f, 5.0f);
        if (way == 0) onCommand(resetViewCommand);
        else onKeyDown('R');
        float x, y, z;
        getCameraPositionXYZ(x, y, z);
        EXPECT_EQ(x, 60.0f) << way;
        EXPECT_EQ(z, 200.0f) << way;
        EXPECT_EQ(getCamera()->horizontalAngle.load(), 35.0f) << way;
    }
    onKeyUp('R');
}

TEST_F(MenuCommands, HeldKeysAreReleasedOnKeyUpAndOnFocusLoss) {
    onKeyDown('W');
    onKeyDown('W');  // auto-repeat
    onKeyDown(0x26);
    EXPECT_EQ(keyState['W'].load(), 1);
    onKeyUp('W');
    EXPECT_EQ(keyState['W'].load(), 0);
    EXPECT_EQ(keyState[0x26].load(), 1);
    windowProcedure(messageFocusLost, 0, 0, 0);
    EXPECT_EQ(keyState[0x26].load(), 0);
}

TEST_F(MenuCommands, LeftButtonStartsADragAndBlanksTheCursorUnlessLocked) {
    testing::internal::CaptureStdout();
    int userValue = -50;
    onMouseButton(1, 1, 70000, 20, &userValue);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "DOWN LEFT\nleft 1 1 4464 20  -50\n") << "x is kept to its low 16 bits";
    EXPECT_EQ(leftButtonDown.load(), 1);
    EXPECT_EQ(windowProcedure(messageSetCursor, 0, 0, 0), 1);
    cameraLocked = 1;
    EXPECT_EQ(windowProcedure(messageSetCursor, 0, 0, 0), 0) << "a locked camera keeps the cursor visible";
    testing::internal::CaptureStdout();
    onMouseButton(1, 0, 5, 6, &userValue);
    onMouseButton(3, 1, 5, 6, &userValue);
    printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "UP LEFT\nleft 1 0 5 6  -50\nDOWN MIDDLE\nleft 3 1 5 6  -50\n");
    EXPECT_EQ(leftButtonDown.load(), 0);
}

TEST_F(MenuCommands, ScriptSentMenuCommandsNeedTheWindow) {
    sendCommand(800);
    EXPECT_EQ(menusHidden.load(), 0);
    sendCommand(803);
    EXPECT_EQ(terrainAlgorithm, 601) << "algorithm commands act on the setting at once";
}
