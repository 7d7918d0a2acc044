// window.h -- the main window's settings, rendering state and projection.
//
// Provides: screenWidth, screenHeight, fullScreen, nearClip, farClip,
// viewportWidth, viewportHeight, backgroundColour, resizeView,
// setBackgroundColour.
// Main thread only.
// (Placeholder until the shell lands: the interface below is fixed.)
#pragma once

extern int screenWidth;    // requested client size; default 800 x 600
extern int screenHeight;
extern bool fullScreen;    // default true
extern float nearClip;     // default 1
extern float farClip;      // default 10000
extern int viewportWidth;  // size last given to resizeView; height never 0
extern int viewportHeight;
extern int backgroundColour[3];

// Viewport and 45-degree perspective projection; a height of 0 counts as 1.
void resizeView(int width, int height);

// Stores the colour and makes it the clear colour.
void setBackgroundColour(int red, int green, int blue);
