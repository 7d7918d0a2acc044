// sceneLoad.cpp -- reading the scene's files; see sceneLoad.h.
#include "scene/sceneLoad.h"

#include <GL/gl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
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
    outputText("AAAAAAAAAAAAAAAAAAAAAAAA\n");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    outputText("AAAAAAAAAAAAAAAAAAAAAAAA\n");
}

// Loads one terrain grid; a missing or unreadable file is reported (with
// the reason) and leaves the object empty, so nothing is drawn for it.
static bool loadGrid(Cheightmap& grid, const char* fileName, int size) {
    errno = 0;
    if (grid.load(fileName, size)) return true;
    outputPrintf("Cannot load terrain file %s: %s\n", fileName, errno ? strerror(errno) : "out of memory");
    return false;
}

void loadTerrainObjects() {
    const SceneRow& row = sceneRow(heightmapSize);
    int n = static_cast<int>(mapSize);

    loadGrid(lightmapGrid, row.lightmapFile, n);

    loadGrid(bruteTerrain, row.heightFile, n);
    bruteTerrain.setScale(1.0f, 0.25f, 1.0f);

    bool haveHeights = loadGrid(geomipTerrain, row.heightFile, n);
    geomipTerrain.setScale(1.0f, 0.25f, 1.0f);
    // The two terrains read the same file; the sample at (25, 25) shows both agree.
    outputPrintf("SCC %f\n", haveHeights ? geomipTerrain.height(25, 25) : 0.0);
    outputPrintf("BF %f\n", bruteTerrain.size > 25 ? bruteTerrain.height(25, 25) : 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    geomipTerrain.setupPatches(16);
    geomipTerrain.multiTextureDistance = 40.0f;

    if (loadGrid(roamTerrain, row.heightFile, n)) {
        roamTerrain.setScale(1.0f, 0.25f, 1.0f);
        roamTerrain.setupRoam(roamLevelsFor(n), roamPoolSizeFor(n), roamTriangleSlotsFor(n));
    } else {
        roamTerrain.setScale(1.0f, 0.25f, 1.0f);
    }
}

void loadSkyBox() {
    setSkyTextures("SKY 20 3.tga", "SKY 20 1.tga", "black.tga", "SKY 20 5.tga", "SKY 20 2.tga", "SKY 20 4.tga",
                   8000.0f, 8000.0f, 4000.0f, 800.0f);
}
