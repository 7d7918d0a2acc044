// geomipmapAlgorithm.h -- geomipmapping as a registered terrain algorithm.
//
// Provides: geomipTerrain, geomipmapAlgorithm (entry 601, "geo").
// Set-up copies the scene's grid into geomipTerrain, prints "SCC h" (its
// height at (25, 25)) and "BF h" (the scene grid's), waits 1000 ms, then
// builds patches of 16 cells with the multi-texture distance 40. Each frame
// is renderGeomipmap's two halves (terrain/geomipmap.h): update is
// updatePatches (levels and visibility), draw drawGeomipmapFrame. It
// honours the error tolerance. Main thread only.
#pragma once

#include "terrain/geomipmap.h"

class TerrainAlgorithm;

// The geomipmapping terrain; written by its set-up on the main thread.
extern Cgeomipmap geomipTerrain;

TerrainAlgorithm& geomipmapAlgorithm();
