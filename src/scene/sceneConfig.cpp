// sceneConfig.cpp -- scene settings and terrain objects; see sceneConfig.h.
#include "scene/sceneConfig.h"

namespace {
const SceneRow sceneRows[] = {
    {129, "height129.raw", "grassdist2.raw", "height129lm2.raw"},
    {257, "height257.raw", "grassdist2_257.raw", "height257lm2.raw"},
    {513, "height513.raw", "grassdist2_513.raw", "height513lm2.raw"},
    {1025, "height1025.raw", "grassdist2_1025.raw", "height1025lm2.raw"},
};
}

int heightmapSize = 129;
float mapSize = 129.0f;
float mapExtent = 128.0f;

const SceneRow& sceneRow(int size) {
    for (const SceneRow& row : sceneRows)
        if (row.size == size) return row;
    return sceneRows[0];
}

void setHMSize(int n) {
    if (n == 129 || n == 257 || n == 513 || n == 1025) heightmapSize = n;
}

float lodDistance1 = 20.0f;
float lodDistance2 = 60.0f;
float lodDistance3 = 100.0f;

int terrainAlgorithm = terrainBruteForce;
int showTerrain = 1;
int splattingEnabled = 0;
int lightmapEnabled = 1;
int showPlants = 1;
int showGrass = 1;
int anonymousMode = 0;
float terrainErrorTolerance = 0.0f;
int uniformTexturing = 0;

Cheightmap lightmapGrid;
Cheightmap bruteTerrain;
Cgeomipmap geomipTerrain;
Croam roamTerrain;
