// window.h -- the main window, its rendering context and the projection.
//
// Provides: screenWidth, screenHeight, fullScreen, nearClip, farClip,
// viewportWidth, viewportHeight, backgroundColour, mainWindowExists,
// createMainWindow, setDisplayMode, initRendering, resizeView,
// setBackgroundColour, destroyMainWindow, centreWindow, centreCursor,
// quitApplication.
// Writers: scripts (size and mode, before createWindow), the clipping and
// background dialogs, and scene set-up -- all on the main thread. Nothing
// here is read by the movement thread.
#pragma once

// The handler of the window's messages (the platform's WindowProcedure).
using MainWindowProcedure = int (*)(int message, int a, int b, int c);

extern int screenWidth;    // requested drawing-area size; default 800 x 600
extern int screenHeight;
extern bool fullScreen;    // default true: the window covers the screen
extern float nearClip;     // default 1
extern float farClip;      // default 10000
extern int viewportWidth;  // size last given to resizeView; height never 0
extern int viewportHeight;
extern int backgroundColour[3];  // clear colour, 0-255 each

// The name the main window is known by to the window system.
inline constexpr const char* mainWindowClassName = "Quellwick";

// True once createMainWindow has opened the window (it stays true after the
// teardown at the end of the main loop: the window is hidden, not gone).
bool mainWindowExists();

// Opens the main window with a drawing area of width x height, windowed and
// centred, or covering the screen (after setDisplayMode). Each side is kept
// within 1..8192 (a line says so when a side is changed). False when no
// window can be opened (no display).
// Every message of the window goes to procedure (app/input.h's
// windowProcedure).
bool createMainWindow(const char* title, int width, int height, bool fullScreenWindow, MainWindowProcedure procedure);

// Full screen keeps the display as it is; the screen must be large enough.
// Cannot read the screen: "Could Not Enum Display Settings". Requested size
// larger than the screen: "Display Mode Not Compatible" and a quit.
void setDisplayMode(int width, int height);

// Creates the rendering context for the drawing area and sets the fixed
// state, the clear colour and the projection (scene set-up calls it).
void initRendering(int width, int height);

// Viewport and 45-degree perspective projection; a height of 0 counts as 1.
void resizeView(int width, int height);

// Stores the colour and makes it the clear colour.
void setBackgroundColour(int red, int green, int blue);

// End of the main loop: releases the context, hides the window, posts a quit.
void destroyMainWindow();

// Puts the window's centre at the centre of the screen, keeping its size.
void centreWindow();

// Moves the cursor to the centre of the main window.
void centreCursor();

// Quits: shows the cursor again and posts a quit to the message loop.
void quitApplication();
