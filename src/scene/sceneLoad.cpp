// sceneLoad.cpp -- reading the scene's files; see sceneLoad.h.
#include "scene/sceneLoad.h"

#include <GL/gl.h>

#include <chrono>
#include <string>
#include <thread>

#include "image/tga.h"
#include "image/textureRegistry.h"
#include "scene/sceneConfig.h"
#include "sky/skyBox.h"
#include "terrain/splatting.h"
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

    // The height file is read by three terrains; it is reported once, by the
    // first, and without it there is no scene to build.
    if (!loadSceneGrid(bruteTerrain, row.heightFile, n, &failure)) return false;
    bruteTerrain.setScale(1.0f, 0.25f, 1.0f);

    bool haveHeights = geomipTerrain.load(row.heightFile, n);
    geomipTerrain.setScale(1.0f, 0.25f, 1.0f);
    // The two terrains read the same file; the sample at (25, 25) shows both agree.
    outputPrintf("SCC %f\n", haveHeights ? geomipTerrain.height(25, 25) : 0.0);
    outputPrintf("BF %f\n", bruteTerrain.size > 25 ? bruteTerrain.height(25, 25) : 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    geomipTerrain.setupPatches(16);
    geomipTerrain.multiTextureDistance = 40.0f;

    if (roamTerrain.load(row.heightFile, n)) {
        roamTerrain.setScale(1.0f, 0.25f, 1.0f);
        roamTerrain.setupRoam(roamLevelsFor(n), roamPoolSizeFor(n), roamTriangleSlotsFor(n));
    } else {
        roamTerrain.setScale(1.0f, 0.25f, 1.0f);
    }
    return haveHeights && roamTerrain.size == n;
}

void loadSkyBox() {
    setSkyTextures("SKY 20 3.tga", "SKY 20 1.tga", "black.tga", "SKY 20 5.tga", "SKY 20 2.tga", "SKY 20 4.tga",
                   8000.0f, 8000.0f, 4000.0f, 800.0f);
}
