// menus.h -- the menu bar and its commands.
//
// Provides: onCommand, hideMenus, showMenus, toggleMenus,
// selectTerrainAlgorithm, selectPlantAlgorithm, setMenuCheck.
// Main thread only.
// (Placeholder until the shell lands: the interface below is fixed.)
#pragma once

void onCommand(int identifier);
void hideMenus();
void showMenus();
void toggleMenus();
void selectTerrainAlgorithm(int identifier);  // 600-603, under commandLock
void selectPlantAlgorithm(int identifier);    // 514-518

// Sets or clears the check mark of an item on the menu bar (kept while the
// bar is hidden); used by the script switches.
void setMenuCheck(int identifier, bool checked);
