// input.h -- held keys, mouse buttons and look flags, and the key and
// button handlers of the main window.
//
// Provides: keyState, mouseButtonState, leftButtonDown, rightButtonDown,
// lookMode, lookCentreX/Y, cameraLocked, menusHidden, and the handlers
// onKeyDown, onKeyUp, onMouseButton, toggleLookMode, quitApplication,
// centreCursor.
// Writers: the main thread (window events, menu commands, scripts). Reader:
// also the movement thread, every 16 ms, without a lock: every value here is
// an atomic (relaxed order is enough; no reader needs two values together).
// Keys are virtual-key codes: letters and digits are their upper-case
// characters, Escape 0x1B, F12 0x7B, Left 0x25, Up 0x26, Right 0x27, Down 0x28.
// (Placeholder until the shell lands: the interface below is fixed.)
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

void onKeyDown(int key);
void onKeyUp(int key);
void onMouseButton(int button, int down, int x, int y, int* userValue);
void toggleLookMode();
void quitApplication();
void centreCursor();
