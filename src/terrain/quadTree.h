// quadTree.h -- the quad-tree entry of the terrain algorithms.
//
// Provides: quadTreeAlgorithm (entry 602, "quad").
// It has no renderer: it draws nothing, counts 0 triangles, has nothing for
// the fidelity instrument, and its title is "QUADTREE" alone. It has no
// item in the named "Terrain Algorithms" menu (only in the anonymous one).
// Main thread only.
#pragma once

class TerrainAlgorithm;

TerrainAlgorithm& quadTreeAlgorithm();
