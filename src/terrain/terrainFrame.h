// terrainFrame.h -- the per-frame terrain and plant driver.
//
// Provides: renderTerrainFrame, setTerrainColour, terrainColour.
// The brute-force renderer itself is in bruteForce.h, geomipmapping in
// geomipmap.h, ROAM in roam.h, the texturing passes in splatting.h.
// Main thread, inside the frame; terrainColour is written by
// setTerrainColour (scene set-up, scripts) on the main thread.
#pragma once

extern float terrainColour[3];  // brute-force vertex colour, 0-255

void setTerrainColour(float r, float g, float b);

// Once per frame, after the view transform: refreshes the frame's camera
// snapshot and the view frustum, turns lighting off, draws the terrain with
// the selected algorithm (when showTerrain is on), binds texture 0 on both
// units and turns blending off, then draws the plants (all sets, or the
// grass alone). Returns the triangles drawn: terrain (all passes) plus
// plantPolygons.
int renderTerrainFrame();
