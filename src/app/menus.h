// menus.h -- the menu bar and its commands.
//
// Provides: MenuItemRecord, MenuRecord, commandLock, buildMenus,
// menuBarTree, menuBarExists, menuItemChecked, setMenuCheck, onCommand,
// sendCommand, toggleLookMode, selectTerrainAlgorithm, selectPlantAlgorithm;
// and, through app/fullView.h, hideMenus, showMenus, toggleMenus.
// The program keeps the menu tree and its marks here and shows them through
// the platform. "The menu bar" (menuBar in the names below) exists from
// buildMenus on and keeps its marks while it is hidden; "the window's
// current menu" is the menu bar while it is shown and nothing while it is
// hidden, so marks set through it are lost in full-view mode.
// Main thread only (commandLock is held while selectTerrainAlgorithm
// changes terrainAlgorithm and its mark).
#pragma once

#include "app/fullView.h"

#include <mutex>
#include <vector>

struct MenuItemRecord {
    int identifier;    // command number
    const char* text;  // "&" marks the mnemonic; after "\t" the key shown
    int radioGroup;    // 0: check mark; otherwise items sharing it carry radio marks
    bool checked;
};

struct MenuRecord {
    const char* title;
    std::vector<MenuItemRecord> items;
};

extern std::mutex commandLock;

// Commands of the fidelity items: the uniform texturing switch (Terrain
// Algorithms) and the two picture measurements (Tools), which print their
// line on the console.
enum FidelityCommand {
    uniformTexturingCommand = 901,
    measureTerrainErrorCommand = 902,
    measurePlantErrorCommand = 903,
    // "Tools > Measure Terrain Popping" (terrain/terrainPopping.h) and the
    // "Geomorphing" switch under Terrain Algorithms.
    measureTerrainPoppingCommand = 920,
    geomorphingCommand = 921,
};

// Commands of the view's help and state: "Options > Information" (the
// information corner, with a check mark), "Camera > Reset View" and "Help >
// Keys" (the key table over the view).
enum ViewHelpCommand {
    informationCommand = 911,
    resetViewCommand = 912,
    keysHelpCommand = 913,
};

// Builds the tree (algorithm names hidden when anonymousMode is set), shows
// it on the main window and sets the initial marks.
void buildMenus();
const std::vector<MenuRecord>& menuBarTree();  // empty before buildMenus
bool menuBarExists();

// Mark of an item on the menu bar (false for items that do not exist).
bool menuItemChecked(int identifier);
// Sets or clears the check mark of an item on the menu bar (kept while the
// bar is hidden); used by the script switches.
void setMenuCheck(int identifier, bool checked);

void onCommand(int identifier);
// A command sent by a script to the main window (800-803): hiding and
// showing the menus does nothing before the window exists.
void sendCommand(int identifier);

// Look mode on or off with the mark of item 508 (right button, "Camera >
// Look Mode").
void toggleLookMode();
// A registered id (600-603 and any after), under commandLock; one that
// cannot be selected is refused with its reason on the console.
void selectTerrainAlgorithm(int identifier);
void selectPlantAlgorithm(int identifier);    // 514-518
