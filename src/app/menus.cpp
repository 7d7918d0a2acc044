// menus.cpp -- placeholder: commands do nothing yet.
#include "app/menus.h"

#include "app/input.h"

void onCommand(int) {}
void hideMenus() { menusHidden = 1; }
void showMenus() { menusHidden = 0; }
void toggleMenus() {
    if (menusHidden) showMenus();
    else hideMenus();
}
void selectTerrainAlgorithm(int) {}
void selectPlantAlgorithm(int) {}
void setMenuCheck(int, bool) {}
