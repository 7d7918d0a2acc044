// fullView.h -- full view: the menu bar and the status bar taken away so the
// drawing area fills the window, and brought back.
//
// Provides: hideMenus, showMenus, toggleMenus.
// While the bars are hidden (menusHidden, controls/controlState.h) the mouse
// looks around from the window's centre. The menu tree keeps its marks while
// hidden (app/menus.h). Main thread only.
#pragma once

void hideMenus();
void showMenus();
void toggleMenus();
