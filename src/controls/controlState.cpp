// controlState.cpp -- the held keys and look flags; see controlState.h.
#include "controls/controlState.h"

std::atomic<uint8_t> keyState[256];
std::atomic<int> mouseButtonState[3];
std::atomic<uint8_t> leftButtonDown{0};
std::atomic<uint8_t> rightButtonDown{0};
std::atomic<int> lookMode{0};
std::atomic<int> lookCentreX{0};
std::atomic<int> lookCentreY{0};
std::atomic<int> cameraLocked{0};
std::atomic<int> menusHidden{0};
