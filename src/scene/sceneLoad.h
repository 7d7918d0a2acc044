// sceneLoad.h -- the loading steps of scene initialisation that read files.
//
// Provides: selectSceneRow, loadTerrainTextures, loadTerrainObjects,
// loadSkyBox, loadSceneGrid. initScene calls them in its fixed order, on
// the main thread with the rendering context current. Every file that
// cannot be used is reported on the console with its name and the reason.
// A missing or unusable texture, lightmap grid or sky face leaves the
// matching object empty and the sequence goes on; without the height file
// there is no scene, and loadTerrainObjects says so by its result.
#pragma once

#include <string>

class Cheightmap;

// Sets mapSize and mapExtent from heightmapSize.
void selectSceneRow();

// The six terrain textures in their fixed order, brighten flag off.
void loadTerrainTextures();

// Loads a RAW grid, printing "Cannot load terrain file NAME: reason" when it
// cannot (false), or "Terrain file NAME: ..." when its length is wrong and
// it was zero-filled or cut (true). failure, when given, receives the
// "Cannot load" line without its line end.
bool loadSceneGrid(Cheightmap& grid, const char* fileName, int size, std::string* failure = nullptr);

// Lightmap grid and the brute-force grid from the current size row, then
// every registered terrain algorithm set up from that grid
// (setUpTerrainAlgorithms, terrain/terrainAlgorithm.h). False when the
// height file cannot be loaded (failure then holds the reported line; the
// terrains are then empty) or an algorithm's grid differs from it (failure
// names the algorithm and the file).
bool loadTerrainObjects(std::string& failure);

// The six sky faces and the box size.
void loadSkyBox();
