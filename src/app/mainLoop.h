// mainLoop.h -- the message loop and the frame driver.
//
// Provides: scenePolygons, lastScenePolygons, frameSeconds, the frame's
// camera position snapshot, gridEnabled, runMainLoop, renderScene,
// renderFrame. Main thread only.
// (Placeholder until the shell lands: the interface below is fixed.)
#pragma once

extern int scenePolygons;      // polygons drawn so far in this frame
extern int lastScenePolygons;  // polygon count of the last finished frame
extern double frameSeconds;    // duration of the last frame
extern float frameCameraX, frameCameraY, frameCameraZ;  // camera snapshot of this frame
extern int gridEnabled;

int runMainLoop();
void renderScene();
void renderFrame();
