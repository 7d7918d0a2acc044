// controlState.h -- what the user holds and has switched that the movement
// thread reads: held keys, mouse buttons and the look flags.
//
// Provides: VirtualKey, keyState, mouseButtonState, leftButtonDown,
// rightButtonDown, lookMode, lookCentreX, lookCentreY, cameraLocked,
// menusHidden.
// Writers: the main thread only (window events through app/input, menu
// commands, scripts, the full-view switch). Reader: also the movement
// thread (camera/movement), every 16 ms, without a lock: every value here
// is an atomic (relaxed order is enough; no reader needs two values
// together). This layer includes nothing of the program, so the camera can
// depend on it without depending on the application.
// Keys are virtual-key codes: letters and digits are their upper-case
// characters, Escape 0x1B, F1 0x70, F12 0x7B, Left 0x25, Up 0x26, Right
// 0x27, Down 0x28.
#pragma once

#include <atomic>
#include <cstdint>

enum VirtualKey {
    keyEscape = 0x1B,
    keyLeft = 0x25,
    keyUp = 0x26,
    keyRight = 0x27,
    keyDown = 0x28,
    keyF1 = 0x70,
    keyF12 = 0x7B,
};

extern std::atomic<uint8_t> keyState[256];    // 1 while the key is held
extern std::atomic<int> mouseButtonState[3];  // left, right, middle
extern std::atomic<uint8_t> leftButtonDown;
extern std::atomic<uint8_t> rightButtonDown;
extern std::atomic<int> lookMode;     // mouse look without a button
extern std::atomic<int> lookCentreX;  // screen pixel the cursor is brought back to
extern std::atomic<int> lookCentreY;
extern std::atomic<int> cameraLocked;  // no mouse look, no movement keys
extern std::atomic<int> menusHidden;   // full view: the mouse looks around
