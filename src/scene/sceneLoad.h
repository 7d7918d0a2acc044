// sceneLoad.h -- the loading steps of scene initialisation that read files.
//
// Provides: selectSceneRow, loadTerrainTextures, loadTerrainObjects,
// loadSkyBox. initScene calls them in its fixed order, on the main thread
// with the rendering context current. A missing file leaves the matching
// object empty and the sequence goes on; only the height file is reported.
#pragma once

// Sets mapSize and mapExtent from heightmapSize.
void selectSceneRow();

// The six terrain textures in their fixed order, brighten flag off.
void loadTerrainTextures();

// Lightmap grid, brute-force, geomipmapping (patches of 16) and ROAM (13
// levels, 65,536 diamonds) terrains from the current size row.
void loadTerrainObjects();

// The six sky faces and the box size.
void loadSkyBox();
