// terrainFrame.h -- the per-frame terrain and plant driver.
//
// Provides: renderTerrainFrame, setTerrainColour, terrainColour,
// terrainReport, reportTerrainTitle.
// The algorithms are found through the registry (terrainAlgorithm.h); the
// texturing passes are in splatting.h.
// Main thread, inside the frame; terrainColour is written by
// setTerrainColour (scene set-up, scripts) on the main thread.
#pragma once

extern float terrainColour[3];  // brute-force vertex colour, 0-255

// What the terrain renderers report of the last frame; the frame driver
// turns it into the window title (unless anonymous). The renderers never
// write the title themselves. Main thread, inside the frame.
struct TerrainReport {
    char title[256];  // "BRUTE %f %f %f", "GEOMIP ...", "ROAM ...", "QUADTREE", or empty
    int triangles;    // terrain triangles of all passes
};
extern TerrainReport terrainReport;

// The renderer's statistics line for this frame (printf-style).
void reportTerrainTitle(const char* format, ...) __attribute__((format(printf, 1, 2)));

void setTerrainColour(float r, float g, float b);

// Once per frame, after the view transform: refreshes the frame's camera
// snapshot and the view frustum, clears terrainReport, turns lighting off;
// when showTerrain is on, the selected algorithm's update, draw, triangles
// and reportTitle, in that order; then binds texture 0 on both
// units and turns blending off, then draws the plants (all sets, or the
// grass alone). Returns the triangles drawn: terrain (all passes, also in
// terrainReport.triangles) plus plantPolygons.
int renderTerrainFrame();
