// sceneConfig.h -- the fixed scene: sizes, data files and the process-wide
// terrain and plant display settings. The terrain objects are with their
// algorithms (terrain/sceneGrids.h, terrain/geomipmapAlgorithm.h,
// terrain/roamAlgorithm.h); the algorithms are listed in
// terrain/terrainAlgorithm.h.
//
// Provides: heightmapSize, mapSize, mapExtent, sceneRow, setHMSize, the
// geomipmapping distances, the display switches (terrainAlgorithm,
// showTerrain, splattingEnabled, lightmapEnabled, showPlants, showGrass,
// anonymousMode), and the scene folder
// (sceneFolder, scenePath, chooseSceneFolder: sceneFolder.cpp;
// sceneFileNames, missingSceneFiles).
// Writers: scripts, menu commands, keys and scene initialisation, all on the
// main thread. Nothing here is read by the movement thread except mapExtent,
// which is written once at scene set-up before that thread starts.
#pragma once

#include <string>
#include <vector>

// The first four terrain algorithm identifiers; also their menu command
// numbers (the registry, terrain/terrainAlgorithm.h, holds them all).
enum TerrainAlgorithmId {
    terrainBruteForce = 600,
    terrainGeomipmap = 601,
    terrainQuadTree = 602,  // no renderer: draws nothing
    terrainRoam = 603,
};

// One row of the size table: the three RAW grids of a heightmap size.
struct SceneRow {
    int size;
    const char* heightFile;
    const char* distributionFile;
    const char* lightmapFile;
};

extern int heightmapSize;  // 129, 257, 513 or 1025; default 129
extern float mapSize;      // heightmapSize as a float, set by scene set-up
extern float mapExtent;    // heightmapSize - 1, the largest grid coordinate

// The row of the given size (the 129 row for any size not in the table).
const SceneRow& sceneRow(int size);

// heightmapSize = n when n is 129, 257, 513 or 1025; otherwise nothing.
void setHMSize(int n);

extern float lodDistance1;  // 20: geomipmapping level boundaries
extern float lodDistance2;  // 60
extern float lodDistance3;  // 100

extern int terrainAlgorithm;  // a registered id; 600 stored, 602 after start-up
extern int showTerrain;
extern int splattingEnabled;
extern int lightmapEnabled;
extern int showPlants;
extern int showGrass;
extern int anonymousMode;  // hides algorithm names in menus and the title

// Terrain error tolerance in screen pixels shared by geomipmapping and ROAM.
// 0 (the default) keeps their fixed rules: distance bands for geomipmapping,
// the fixed split threshold for ROAM. Above 0 each refines until what it
// leaves out is at most this many pixels high on screen.
extern float terrainErrorTolerance;
// 1: ROAM and far geomipmapping patches draw the same splatting and lightmap
// passes as brute force (like-with-like pictures). 0 (the default): each
// algorithm's own texturing.
extern int uniformTexturing;
// 1: geomipmapping morphs each patch toward its next coarser level as it
// nears the distance where it switches (terrain/geomipmap.h), so a switch
// moves nothing. 0 (the default): patches switch levels at once.
extern int geomorphing;

// The folder the scene files are read from. Empty (the default) reads them
// by bare name from the current folder, the program's own; scripts and the
// program's defaults always come from there. Written by chooseSceneFolder
// (script setSceneFolder, the MORVISTA_SCENE variable) on the main thread
// before the scene is built.
extern std::string sceneFolder;

// The path to open for the scene file fileName: fileName itself when no
// scene folder is set or the name is absolute, else sceneFolder/fileName.
std::string scenePath(const char* fileName);

// Makes path (relative to baseFolder unless absolute) the scene folder.
// false, with the reason naming the folder in error, when it is no folder;
// the scene folder then stays as it was.
bool chooseSceneFolder(const char* path, const std::string& baseFolder, std::string& error);

// Every file the scene of the given size reads by name: the row's three
// grids, the terrain textures and loading picture, the sky faces and the
// plant models (the models name their own textures).
std::vector<std::string> sceneFileNames(int size);

// Those of sceneFileNames(size) that scenePath does not find as a file.
std::vector<std::string> missingSceneFiles(int size);
