// statusBar.h -- console window, status bar and title.
//
// Provides: statusText, createDebugConsole, createStatusBar,
// destroyStatusBar, toggleStatusBar, statusBarHeight, setStatusBarText,
// updateFps, setTitle. Main thread only.
// (Placeholder until the shell lands: the interface below is fixed.)
#pragma once

extern char statusText[100];  // "  Scene polygons: %d", written each frame

void createDebugConsole();
void createStatusBar();
void destroyStatusBar();
void toggleStatusBar();
int statusBarHeight();  // 0 when no status bar exists
void setStatusBarText(const char* text);
void updateFps();
void setTitle(const char* text);
