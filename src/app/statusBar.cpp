// statusBar.cpp -- placeholder: no console window, no status bar.
#include "app/statusBar.h"

#include "platform/platform.h"

char statusText[100] = "";

void createDebugConsole() {}
void createStatusBar() {}
void destroyStatusBar() {}
void toggleStatusBar() {}
int statusBarHeight() { return 0; }
void setStatusBarText(const char*) {}
void updateFps() {}
void setTitle(const char* text) { platformSetTitle(text); }
