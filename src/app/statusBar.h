// statusBar.h -- console window, status bar and title.
//
// Provides: statusText, statusBarHidden, createDebugConsole,
// releaseDebugConsole, createStatusBar, destroyStatusBar, toggleStatusBar,
// statusBarHeight, setStatusBarText, formatStatusLine, updateFps,
// lastFramesPerSecond, setTitle.
// Main thread only.
//
// With the environment variable MORVISTA_ECHO_STATUS set to 1, every text
// the status bar is given is also written to standard error as
// "status bar: <text>" (tests read the bar this way).
#pragma once

#include <cstddef>

extern char statusText[100];  // "  Scene polygons: %d", written each frame
extern int statusBarHidden;   // 1 while no status bar exists (also before the window)

// Opens the console window (standard output is shown there from now on); a
// second call replaces it, so exactly one is open.
void createDebugConsole();
void releaseDebugConsole();

void createStatusBar();
void destroyStatusBar();
void toggleStatusBar();
// Height of the status bar in pixels, 0 when none exists. The bar sits below
// the drawing area, never over it.
int statusBarHeight();
void setStatusBarText(const char* text);  // ignored while no status bar exists

// "FPS: %d %s" with the frames counted (truncated) and the text.
void formatStatusLine(char* out, size_t size, float frames, const char* text);

// Once per frame: counts the frame and, when more than a second has passed
// since the last display, shows the frames counted and statusText.
void updateFps();
// Frames a second over the last period updateFps showed (0 before the first).
float lastFramesPerSecond();

// Sets the main window's title.
void setTitle(const char* text);
