// movement.h -- the movement thread: mouse look and movement keys.
//
// Provides: startMovementThread, stopMovementThread, cameraControlStep,
// mouseLook, keyMovement.
// The movement thread wakes every 16 ms and runs cameraControlStep, so
// turning and stepping are counted in passes of this thread, not in frames.
// It reads keyState and the look flags of app/input.h (atomics, no lock) and
// the cursor through platform/platform.h (thread-safe), and writes the
// camera's angles and position (atomics, camera.h) without the camera lock.
// Movement keys by virtual-key code: Up 0x26 / W, Down 0x28 / S,
// Left 0x25 / A, Right 0x27 / D.
#pragma once

// Starts the thread that calls cameraControlStep every 16 ms (once; later
// calls do nothing while it runs). Builds the camera first if needed. The
// thread is stopped and joined when the process exits.
void startMovementThread();
// Stops and joins it; nothing when it is not running. Main thread only.
void stopMovementThread();
// One pass: mouse look then key movement, unless the camera is locked.
void cameraControlStep();

// One mouse-look step: while the left button is held, look mode is on or
// the menus are hidden, turns and tilts by the cursor's travel from
// lookCentre and puts the cursor back there.
void mouseLook();
// One key-movement step: each of the four key pairs acts at most once.
void keyMovement();
