// sceneLoad.cpp -- reading the scene's files; see sceneLoad.h.
#include "scene/sceneLoad.h"

#include <GL/gl.h>

#include <string>

#include "image/tga.h"
#include "image/textureRegistry.h"
#include "scene/sceneConfig.h"
#include "sky/skyBox.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainAlgorithm.h"
#include "util/output.h"

void selectSceneRow() {
    mapSize = static_cast<float>(heightmapSize);
    mapExtent = static_cast<float>(heightmapSize - 1);
}

void loadTerrainTextures() {
    textureBrighten = 0;
    detailTexture1 = getTexture("twig01ar.tga");
    baseTexture = getTexture("sbend1010.tga");
    coverageTexture1 = getClampedTexture("leavesm1.tga");
    detailTexture2 = getTexture("tmsand10a.tga");
    coverageTexture2 = getClampedTexture("sandm1.tga");
    lightmapTexture = getClampedTexture("lightmap.tga");
    outputDiagnostic("AAAAAAAAAAAAAAAAAAAAAAAA\n");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    outputDiagnostic("AAAAAAAAAAAAAAAAAAAAAAAA\n");
}

bool loadSceneGrid(Cheightmap& grid, const char* fileName, int size, std::string* failure) {
    std::string problem;
    std::string path = scenePath(fileName);
    bool loaded = grid.load(path.c_str(), size, &problem);
    if (!loaded) {
        std::string line = "Cannot load terrain file " + path + ": " + problem;
        outputPrintf("%s\n", line.c_str());
        if (failure) *failure = line;
    } else if (!problem.empty()) {
        outputPrintf("Terrain file %s: %s\n", path.c_str(), problem.c_str());
    }
    return loaded;
}

bool loadTerrainObjects(std::string& failure) {
    const SceneRow& row = sceneRow(heightmapSize);
    int n = static_cast<int>(mapSize);

    loadSceneGrid(lightmapGrid, row.lightmapFile, n);

    // The height file is read once, into the brute-force grid; without it
    // there is no scene to build. Every other algorithm takes its heights
    // from that grid.
    if (!loadSceneGrid(bruteTerrain, row.heightFile, n, &failure)) return false;
    bruteTerrain.setScale(1.0f, 0.25f, 1.0f);
    return setUpTerrainAlgorithms(bruteTerrain, scenePath(row.heightFile), failure);
}

void loadSkyBox() {
    setSkyTextures("SKY 20 3.tga", "SKY 20 1.tga", "black.tga", "SKY 20 5.tga", "SKY 20 2.tga", "SKY 20 4.tga",
                   8000.0f, 8000.0f, 4000.0f, 800.0f);
}
