// movement.h -- the movement thread: mouse look and movement keys.
//
// Provides: startMovementThread, stopMovementThread, cameraControlStep.
// (Placeholder until the camera lands: the interface below is fixed.)
#pragma once

// Starts the thread that calls cameraControlStep every 16 ms (once).
void startMovementThread();
// Stops and joins it (called when the process ends).
void stopMovementThread();
// One pass: mouse look then key movement, unless the camera is locked.
void cameraControlStep();
