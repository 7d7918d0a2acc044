// terrainFrame.h -- the per-frame terrain and plant driver and the
// brute-force renderer.
//
// Provides: renderTerrainFrame, setTerrainColour, terrainColour.
// Main thread, inside the frame.
#pragma once

extern float terrainColour[3];  // brute-force vertex colour, 0-255

void setTerrainColour(float r, float g, float b);

// Extracts the frustum, draws the terrain with the selected algorithm and
// then the plants; returns the triangles drawn.
int renderTerrainFrame();
