// input.h -- the main window's procedure and the key and button handlers.
//
// Provides: windowProcedure, onKeyDown, onKeyUp, releaseAllKeys,
// setMouseButtonHandler, onMouseButton; with controls/controlState.h the
// held keys and look flags they write.
// Main thread only. The held keys and look flags live in controls/ because
// the movement thread reads them too.
#pragma once

#include "controls/controlState.h"

// Handles one message of the platform (PlatformMessage in platform.h).
int windowProcedure(int message, int a, int b, int c);

void onKeyDown(int key);
void onKeyUp(int key);
// Every held key is released (the window lost the keyboard).
void releaseAllKeys();

// button 1 left, 2 right, 3 middle; down 1 or 0; x, y in the drawing area.
using MouseButtonHandler = void (*)(int button, int down, int x, int y, int* userValue);
// Installs the handler called for every button press and release in the
// drawing area, with a pointer to its user value (scene set-up).
void setMouseButtonHandler(MouseButtonHandler handler, int* userValue);
void onMouseButton(int button, int down, int x, int y, int* userValue);
