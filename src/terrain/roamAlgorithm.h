// roamAlgorithm.h -- ROAM 2.0 as a registered terrain algorithm.
//
// Provides: roamTerrain, roamAlgorithm (entry 603, "roam").
// Set-up copies the scene's grid into roamTerrain and builds the mesh with
// the scene's sizes for that grid (roamLevelsFor, roamPoolSizeFor,
// roamTriangleSlotsFor in terrain/roam.h). Each frame is renderRoam's two
// halves: update is optimiseFrame (the optimiser), draw drawRoamFrame. It
// honours the error tolerance. Main thread only.
#pragma once

#include "terrain/roam.h"

class TerrainAlgorithm;

// The ROAM terrain; written by its set-up on the main thread.
extern Croam roamTerrain;

TerrainAlgorithm& roamAlgorithm();
