// mainLoop.h -- the message loop and the frame driver.
//
// Provides: scenePolygons, lastScenePolygons, framesDrawn,
// gridEnabled, runMainLoop, renderScene, renderFrame, drawReferenceGrid,
// frameTitle. Main thread only.
#pragma once

#include <string>

extern int scenePolygons;      // polygons drawn so far in this frame
extern int lastScenePolygons;  // polygon count of the last finished frame
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

// The window title for a renderer's statistics line: for an algorithm that
// honours the error tolerance (geomipmapping, ROAM) with a tolerance above 0
// the tolerance follows, as in
// "ROAM 1.000000 2.000000 3.000000  tolerance 1.5 px".
std::string frameTitle(const char* reported, int algorithm, float tolerance);
