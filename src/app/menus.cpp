// menus.cpp -- the menu bar and its commands; see menus.h. Main thread only.
#include "app/menus.h"

#include <GL/gl.h>

#include <deque>
#include <string>

#include "app/dialogs.h"
#include "app/frameGraph.h"
#include "app/fullView.h"
#include "app/mainLoop.h"
#include "app/measure.h"
#include "app/overlay.h"
#include "app/statusBar.h"
#include "app/window.h"
#include "camera/camera.h"
#include "camera/frustum.h"
#include "camera/homeView.h"
#include "controls/controlState.h"
#include "image/textureRegistry.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "script/scriptHost.h"
#include "sky/skyBox.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainError.h"
#include "terrain/terrainPopping.h"
#include "util/output.h"
#include "vegetation/plantError.h"
#include "vegetation/plantSet.h"

std::mutex commandLock;

namespace {

enum RadioGroup { noRadio = 0, terrainRadio = 1, plantRadio = 2 };

std::vector<MenuRecord> menuTree;
std::string lastScriptPath;  // the open-file dialog starts from the last choice

MenuItemRecord* findItem(int identifier) {
    for (MenuRecord& menu : menuTree) {
        for (MenuItemRecord& item : menu.items) {
            if (item.identifier == identifier) return &item;
        }
    }
    return nullptr;
}

void setMark(MenuItemRecord* item, bool checked) {
    if (!item) return;
    item->checked = checked;
    platformSetMenuItemChecked(item->identifier, checked);
}

// The window's current menu: the bar while it is shown, nothing while hidden.
bool currentMenuChecked(int identifier) { return !menusHidden && menuItemChecked(identifier); }

void toggleMenuCheck(int identifier) {
    if (menusHidden) return;
    MenuItemRecord* item = findItem(identifier);
    if (item) setMark(item, !item->checked);
}

// Marks `identifier` and clears every other item of first..last (all of them
// when `identifier` has no item).
void checkRadioItem(int first, int last, int identifier, bool onCurrentMenu) {
    if (onCurrentMenu && menusHidden) return;
    for (MenuRecord& menu : menuTree) {
        for (MenuItemRecord& item : menu.items) {
            if (item.identifier >= first && item.identifier <= last) setMark(&item, item.identifier == identifier);
        }
    }
}

// Marks the terrain algorithm item `identifier` and clears the others.
void checkTerrainItem(int identifier, bool onCurrentMenu) {
    if (onCurrentMenu && menusHidden) return;
    for (MenuRecord& menu : menuTree) {
        for (MenuItemRecord& item : menu.items) {
            if (item.radioGroup == terrainRadio) setMark(&item, item.identifier == identifier);
        }
    }
}

// Selects a registered terrain algorithm and moves the mark; one that
// cannot be selected is refused with its reason and the previous stays.
void chooseTerrainAlgorithm(int identifier) {
    std::string why;
    if (!terrainAlgorithmSelectable(identifier, why)) {
        outputPrintf("%s\n", why.c_str());
        return;
    }
    checkTerrainItem(identifier, true);
    terrainAlgorithm = identifier;
}

void flip(int& value) { value = 1 - value; }

// A script opened from the menu stopped on an error: the console, where
// the error was written, comes to the front; without a console the error
// is shown in a message box naming the script (the message names the line).
void showScriptStopped(const std::string& path) {
    if (platformHasConsole()) {
        platformRaiseConsole();
        return;
    }
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string text = name + " stopped on an error:\n" + lastScriptError();
    platformMessageBox(text.c_str(), "Error", platformOk, false);
}

void openScript() {
    std::string path = lastScriptPath;
    if (!platformOpenScriptDialog(path)) return;
    lastScriptPath = path;
    outputPrintf("%s\n", path.c_str());
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    outputPrintf("%s\n", folder.c_str());
    // Runs to its end before the command returns; frames are drawn meanwhile
    // only when the script calls renderScene().
    if (runScriptFile(scriptHost, path.c_str()) != 0) showScriptStopped(path);
}

std::vector<MenuRecord> menuTreeFor(bool anonymous) {
    std::vector<MenuRecord> tree = {
        {"&File", {{501, "&Open", noRadio, false}, {500, "E&xit\tESC", noRadio, false}}},
        {"&Tools",
         {{502, "&Display Texture List", noRadio, false},
          {509, "&Hide Menus\tH", noRadio, false},
          {510, "&Screenshot\tF12", noRadio, false},
          {measureTerrainErrorCommand, "Measure &Terrain Error", noRadio, false},
          {measurePlantErrorCommand, "Measure &Plant Error", noRadio, false},
          {measureTerrainPoppingCommand, "Measure Terrain Popping", noRadio, false},
          {910, "&Frame Time Graph", noRadio, false}}},
        {"&Options",
         {{503, "&Background Colour", noRadio, false},
          {506, "&Wireframe", noRadio, false},
          {700, "&Grid", noRadio, false},
          {informationCommand, "&Information\tI", noRadio, false}}},
        {"&Camera",
         {{522, "&Camera Speed", noRadio, false},
          {505, "&Clipping Planes", noRadio, false},
          {523, "&Frustum Culling", noRadio, true},
          {508, "&Look Mode", noRadio, false},
          {511, "&Lock Camera", noRadio, false},
          {521, "&Crouch Mode\tC", noRadio, false},
          {520, "&Fly Mode", noRadio, false},
          {resetViewCommand, "&Reset View\tR", noRadio, false}}},
        {"&Atmosphere", {{507, "&Sky Box", noRadio, true}}},
        {"&Terrain Algorithms", {}},
        {"&Plant Algorithms", {}},
        {"&Help", {{504, "&About", noRadio, false}, {keysHelpCommand, "&Keys\tF1", noRadio, false}}},
    };
    // The registered algorithms in order; without anonymity an entry with
    // no label (the quad-tree) has no item.
    std::vector<MenuItemRecord>& terrain = tree[5].items;
    int number = 0;
    for (const TerrainAlgorithm* algorithm : terrainAlgorithms()) {
        ++number;
        if (!anonymous && algorithm->menuLabel()[0] == '\0') continue;
        // The items keep pointers to their text: a deque keeps them in place.
        static std::deque<std::string> anonymousLabels;
        while (static_cast<int>(anonymousLabels.size()) < number)
            anonymousLabels.push_back("&Algorithm " + std::to_string(anonymousLabels.size() + 1));
        const char* text = anonymous ? anonymousLabels[static_cast<size_t>(number - 1)].c_str() : algorithm->menuLabel();
        terrain.push_back({algorithm->id(), text, terrainRadio, false});
    }
    terrain.push_back({513, "&Multi-texture Splatting\tM", noRadio, false});
    terrain.push_back({499, "&Lighting", noRadio, true});
    terrain.push_back({526, "&Show Terrain", noRadio, true});
    terrain.push_back({uniformTexturingCommand, "Same Texturing for All Algorithms", noRadio, uniformTexturing != 0});
    terrain.push_back({geomorphingCommand, "Geomorphing", noRadio, geomorphing != 0});
    terrain.push_back({900, "&Error Tolerance...", noRadio, false});

    std::vector<MenuItemRecord>& plants = tree[6].items;
    if (!anonymous) {
        plants = {{514, "&Brute Force", plantRadio, false},
                  {515, "&X Billboards", plantRadio, false},
                  {516, "&Billboards", plantRadio, false},
                  {517, "&Mixed based on distance", plantRadio, false},
                  {518, "&Smooth transition based on distance", plantRadio, false}};
    } else {
        plants = {{514, "&Algorithm 1", plantRadio, false},
                  {515, "&Algorithm 2", plantRadio, false},
                  {516, "&Algorithm 3", plantRadio, false},
                  {517, "&Algorithm 4", plantRadio, false},
                  {518, "&Algorithm 5", plantRadio, false}};
    }
    plants.push_back({498, "&Lighting", noRadio, true});
    plants.push_back({524, "&Show Plants", noRadio, true});
    plants.push_back({527, "&Show Grass", noRadio, true});
    return tree;
}

}  // namespace

void buildMenus() {
    menuTree = menuTreeFor(anonymousMode != 0);
    platformClearMenuBar();
    for (const MenuRecord& menu : menuTree) {
        platformAddMenu(menu.title);
        for (const MenuItemRecord& item : menu.items) {
            platformAddMenuItem(item.identifier, item.text, item.radioGroup);
            if (item.checked) platformSetMenuItemChecked(item.identifier, true);
        }
    }
    platformSetMenuBarAttached(true);
}

const std::vector<MenuRecord>& menuBarTree() { return menuTree; }

bool menuBarExists() { return !menuTree.empty(); }

bool menuItemChecked(int identifier) {
    MenuItemRecord* item = findItem(identifier);
    return item && item->checked;
}

void setMenuCheck(int identifier, bool checked) { setMark(findItem(identifier), checked); }

void onCommand(int identifier) {
    switch (identifier) {
    case 498:
        toggleMenuCheck(498);
        flip(plantLighting);
        break;
    case 499:
        toggleMenuCheck(499);
        flip(lightmapEnabled);
        break;
    case 500:
        quitApplication();
        break;
    case 501:
        openScript();
        break;
    case 502:
        showTextureList();
        break;
    case 503:
        showBackgroundDialog();
        break;
    case 504:
        showAboutBox();
        break;
    case 505:
        showClipDialog();
        break;
    case 506:
        if (currentMenuChecked(506)) {
            toggleMenuCheck(506);
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        } else {
            toggleMenuCheck(506);
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        }
        break;
    case 507:
        if (currentMenuChecked(507)) {
            toggleMenuCheck(507);
            skyEnabled = 0;
        } else {
            toggleMenuCheck(507);
            skyEnabled = 1;
        }
        break;
    case 508:
        toggleLookMode();
        break;
    case 509:
        toggleMenus();
        break;
    case 510:
        triggerShot();
        break;
    case 511:
        toggleMenuCheck(511);
        cameraLocked = 1 - cameraLocked;
        break;
    case 513:
        toggleMenuCheck(513);
        flip(splattingEnabled);
        break;
    case 514:
    case 515:
    case 516:
    case 517:
    case 518:
        checkRadioItem(514, 518, identifier, true);
        plantAlgorithm = identifier - 513;
        break;
    case 520:
        toggleMenuCheck(520);
        flyMode = 1 - flyMode;
        break;
    case 521:
        toggleMenuCheck(521);
        toggleCrouch();
        break;
    case 522:
        showCameraSpeedDialog();
        break;
    case 523:
        toggleMenuCheck(523);
        flip(frustumCulling);
        break;
    case 524:
        toggleMenuCheck(524);
        flip(showPlants);
        break;
    case 526:
        toggleMenuCheck(526);
        flip(showTerrain);
        break;
    case 527:
        toggleMenuCheck(527);
        flip(showGrass);
        break;
    case 700:
        toggleMenuCheck(700);
        flip(gridEnabled);
        break;
    case uniformTexturingCommand:
        toggleMenuCheck(uniformTexturingCommand);
        flip(uniformTexturing);
        break;
    case measureTerrainErrorCommand: {
        if (platformHasGlContext()) platformMakeCurrent();
        TerrainErrorResult result;
        measureAndReportTerrainError(result);
        break;
    }
    case geomorphingCommand:
        toggleMenuCheck(geomorphingCommand);
        flip(geomorphing);
        break;
    case measureTerrainPoppingCommand: {
        if (platformHasGlContext()) platformMakeCurrent();
        TerrainPoppingResult result;
        measureAndReportTerrainPopping(result);
        break;
    }
    case measurePlantErrorCommand: {
        if (platformHasGlContext()) platformMakeCurrent();
        PlantErrorResult result;
        measureAndReportPlantError(result);
        break;
    }
    case 910:
        toggleMenuCheck(910);
        flip(frameGraphEnabled);
        break;
    case informationCommand:
        toggleMenuCheck(informationCommand);
        toggleInformation();
        break;
    case resetViewCommand:
        resetCameraToHome();
        break;
    case keysHelpCommand:
        toggleHelp();
        break;
    case 800:
        outputText("entered case HIDE\n");
        hideMenus();
        break;
    case 801:
        outputText("entered case SHOW\n");
        showMenus();
        break;
    case 802:
        selectTerrainAlgorithm(600);
        break;
    case 803:
        selectTerrainAlgorithm(601);
        break;
    case 900:
        showErrorToleranceDialog();
        break;
    default:
        // The terrain algorithms' items: 600-603 and any registered after.
        if (findTerrainAlgorithm(identifier)) chooseTerrainAlgorithm(identifier);
        break;
    }
}

void sendCommand(int identifier) {
    // Hiding and showing the bars needs the window; the algorithm commands
    // act on the setting whether or not it exists.
    if ((identifier == 800 || identifier == 801) && !mainWindowExists()) return;
    onCommand(identifier);
}

void selectTerrainAlgorithm(int identifier) {
    std::lock_guard<std::mutex> lock(commandLock);
    chooseTerrainAlgorithm(identifier);
}

void selectPlantAlgorithm(int identifier) {
    if (identifier < 514 || identifier > 518) return;
    checkRadioItem(514, 518, identifier, false);
    plantAlgorithm = identifier - 513;
}

void toggleLookMode() {
    bool marked = menuBarExists() ? menuItemChecked(508) : lookMode != 0;
    if (marked) {
        setMenuCheck(508, false);
        lookMode = 0;
        platformShowCursor(true);
    } else {
        setMenuCheck(508, true);
        int x = 0, y = 0;
        platformGetCursorPos(x, y);
        lookCentreX = x;
        lookCentreY = y;
        lookMode = 1;
        platformShowCursor(false);
    }
}
