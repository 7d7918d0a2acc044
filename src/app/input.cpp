// input.cpp -- placeholder input state; handlers do nothing yet.
#include "app/input.h"

std::atomic<uint8_t> keyState[256];
std::atomic<int> mouseButtonState[3];
std::atomic<uint8_t> leftButtonDown{0};
std::atomic<uint8_t> rightButtonDown{0};
std::atomic<int> lookMode{0};
std::atomic<int> lookCentreX{0};
std::atomic<int> lookCentreY{0};
std::atomic<int> cameraLocked{0};
std::atomic<int> menusHidden{0};

void onKeyDown(int key) { keyState[key & 0xFF] = 1; }
void onKeyUp(int key) { keyState[key & 0xFF] = 0; }
void onMouseButton(int, int, int, int, int*) {}
void toggleLookMode() {}
void quitApplication() {}
void centreCursor() {}
