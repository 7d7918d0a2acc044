// sceneGrids.h -- the scene's two loaded grids.
//
// Provides: bruteTerrain, lightmapGrid.
// Written by scene set-up (scene/sceneLoad.cpp) on the main thread before
// the movement thread starts; read-only afterwards.
#pragma once

#include "terrain/heightmap.h"

// The scene's height grid, scaled (1, 0.25, 1): drawn by brute force, the
// grid every other terrain algorithm takes its heights from, and the ground
// the camera and the plants stand on.
extern Cheightmap bruteTerrain;

// The plant shading grid; unscaled.
extern Cheightmap lightmapGrid;
