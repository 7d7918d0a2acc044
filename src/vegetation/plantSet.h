// plantSet.h -- plant sets, their placement over the terrain, and grass.
//
// Provides: plantLighting, plantAlgorithm, plantPolygons, drawPlantSets,
// drawGrassSet, loadScenePlants. Main thread, inside the frame.
// (Placeholder until the vegetation lands: the interface below is fixed.)
#pragma once

extern int plantLighting;   // default 1: plants shaded by the lightmap grid
extern int plantAlgorithm;  // 1-5: full, crossed billboards, billboards, mixed, smooth
extern int plantPolygons;   // polygons of plant models drawn this frame

void drawPlantSets();
void drawGrassSet();

// Scene set-up: reads the plant models and builds the scene's plant sets.
void loadScenePlants();
