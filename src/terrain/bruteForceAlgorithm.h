// bruteForceAlgorithm.h -- brute force as a registered terrain algorithm.
//
// Provides: bruteForceAlgorithm (entry 600, "brute").
// Draws bruteTerrain (terrain/sceneGrids.h), the scene's own grid, with
// renderBruteForce (terrain/bruteForce.h): every cell every frame, with the
// splatting and lightmap passes as switched. Its triangles are one pass's
// triangleCount times the passes drawn. It ignores the error tolerance.
// Its mesh copy for the popping instrument is the grid itself
// (FullGridCopy, terrain/terrainPopping.h).
// Main thread only.
#pragma once

class TerrainAlgorithm;

TerrainAlgorithm& bruteForceAlgorithm();
