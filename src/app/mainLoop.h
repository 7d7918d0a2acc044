// mainLoop.h -- the message loop and the frame driver.
//
// Provides: scenePolygons, lastScenePolygons, frameSeconds, framesDrawn, gridEnabled, runMainLoop, renderScene,
// renderFrame, drawReferenceGrid. Main thread only.
#pragma once

extern int scenePolygons;      // polygons drawn so far in this frame
extern int lastScenePolygons;  // polygon count of the last finished frame
extern double frameSeconds;    // duration of the last frame
extern long long framesDrawn;  // frames finished since start
extern int gridEnabled;        // default 0; menu "&Grid"

// Handles every waiting event and draws a frame whenever none is waiting,
// never sleeping, until a quit arrives; then tears the window down (which
// posts a new quit) and returns the quit's code.
int runMainLoop();

// One step for scripts: handles the waiting events, or draws one frame when
// none was waiting. A quit ends the process at once with exit code 0.
void renderScene();

// One frame (drawn only while the rendering context exists).
void renderFrame();

// The reference grid: 400 blue lines at height 0.1 over -100..100 in x and z
// (none through the origin), then the red y, green z and white x axes.
// Leaves the colour white; texturing is off while it draws.
void drawReferenceGrid();
