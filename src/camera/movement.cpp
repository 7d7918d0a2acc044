// movement.cpp -- placeholder: no thread.
#include "camera/movement.h"

void startMovementThread() {}
void stopMovementThread() {}
void cameraControlStep() {}
