// sceneGrids.cpp -- the scene's two loaded grids; see sceneGrids.h.
#include "terrain/sceneGrids.h"

Cheightmap bruteTerrain;
Cheightmap lightmapGrid;
