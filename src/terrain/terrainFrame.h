// terrainFrame.h -- the per-frame terrain and plant driver.
//
// Provides: renderTerrainFrame, setTerrainColour, terrainColour,
// terrainReport, reportTerrainTitle, TerrainFrameTimes, terrainFrameTimes.
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

// The CPU parts of the last renderTerrainFrame, in seconds of the main
// thread's own CPU time (CLOCK_THREAD_CPUTIME_ID, util/threadClock.h: time
// the thread waits or is descheduled is not in them, nor work a software
// rasteriser's threads do). Written by renderTerrainFrame, main thread.
//   lodCpuSeconds    the selected algorithm's update(): its level-of-detail
//                    work, choosing this frame's mesh (geomipmapping's level
//                    update, ROAM's optimiser; brute force has none); not its
//                    drawing, which is in draw(). 0 with the terrain off.
//   plantCpuSeconds  the plant pass's placement walk, culling and detail
//                    selection (plantSelectionCpuSeconds, vegetation/
//                    plantSet.h: it includes the CPU transforms that gather
//                    the plants, not the batches' drawing calls). 0 with no
//                    plants drawn.
struct TerrainFrameTimes {
    double lodCpuSeconds = 0.0;
    double plantCpuSeconds = 0.0;
};
extern TerrainFrameTimes terrainFrameTimes;

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
