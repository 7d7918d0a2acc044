// input.h -- the main window's procedure: held keys, mouse buttons, look
// flags, and the key and button handlers.
//
// Provides: keyState, mouseButtonState, leftButtonDown, rightButtonDown,
// lookMode, lookCentreX/Y, cameraLocked, menusHidden, windowProcedure,
// onKeyDown, onKeyUp, releaseAllKeys, setMouseButtonHandler, onMouseButton,
// toggleLookMode, quitApplication, centreCursor.
// Writers: the main thread (window events, menu commands, scripts). Reader:
// also the movement thread, every 16 ms, without a lock: every value here is
// an atomic (relaxed order is enough; no reader needs two values together).
// Keys are virtual-key codes: letters and digits are their upper-case
// characters, Escape 0x1B, F12 0x7B, Left 0x25, Up 0x26, Right 0x27, Down 0x28.
#pragma once

#include <atomic>
#include <cstdint>

enum VirtualKey {
    keyEscape = 0x1B,
    keyLeft = 0x25,
    keyUp = 0x26,
    keyRight = 0x27,
    keyDown = 0x28,
    keyF12 = 0x7B,
};

extern std::atomic<uint8_t> keyState[256];
extern std::atomic<int> mouseButtonState[3];  // left, right, middle
extern std::atomic<uint8_t> leftButtonDown;
extern std::atomic<uint8_t> rightButtonDown;
extern std::atomic<int> lookMode;
extern std::atomic<int> lookCentreX;
extern std::atomic<int> lookCentreY;
extern std::atomic<int> cameraLocked;
extern std::atomic<int> menusHidden;

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

void toggleLookMode();
void quitApplication();
// Moves the cursor to the centre of the main window.
void centreCursor();
