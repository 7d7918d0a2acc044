// sceneConfig.cpp -- scene settings and terrain objects; see sceneConfig.h.
#include "scene/sceneConfig.h"

#include <sys/stat.h>

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
int geomorphing = 0;

std::vector<std::string> sceneFileNames(int size) {
    const SceneRow& row = sceneRow(size);
    std::vector<std::string> names = {row.heightFile, row.distributionFile, row.lightmapFile};
    static const char* const fixedFiles[] = {
        "twig01ar.tga",   "sbend1010.tga",  "leavesm1.tga",  "tmsand10a.tga", "sandm1.tga",   "lightmap.tga",
        "load.tga",       "SKY 20 1.tga",   "SKY 20 2.tga",  "SKY 20 3.tga",  "SKY 20 4.tga", "SKY 20 5.tga",
        "black.tga",      "fern.xml",       "towergrass.xml", "grasscross.xml", "grassbill.xml", "broad01.xml",
        "broad16.xml",    "palm01.xml",     "bboy.xml",      "spear.xml",     "flower8.xml",  "flower6.xml",
    };
    names.insert(names.end(), std::begin(fixedFiles), std::end(fixedFiles));
    return names;
}

std::vector<std::string> missingSceneFiles(int size) {
    std::vector<std::string> missing;
    for (const std::string& name : sceneFileNames(size)) {
        struct stat info;
        std::string path = scenePath(name.c_str());
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) missing.push_back(name);
    }
    return missing;
}
