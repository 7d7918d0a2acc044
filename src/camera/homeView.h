// homeView.h -- the view the camera goes back to ("Camera > Reset View",
// key R): the start script's view.
//
// Provides: recordHomeView, fixHomeView, homeViewRecorded, resetCameraToHome.
// The script functions that place the camera record the camera as they
// leave it; once the main loop starts (the start script hands over to the
// user) the home view is fixed and later scripts no longer move it. Without
// a recorded view the home is the map's centre: x = z = mapExtent / 2, at
// the walking eye height there, level, looking along -z.
// Main thread only (scripts, keys, menu commands); the camera itself is
// written through its atomics (camera.h).
#pragma once

// The camera's position and angles as they are now become the home view,
// unless it was fixed.
void recordHomeView();
// Later recordHomeView calls keep the home view as it is.
void fixHomeView();
bool homeViewRecorded();
// Puts the camera at the home view.
void resetCameraToHome();
