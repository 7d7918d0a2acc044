// terrainFrame.cpp -- the per-frame terrain and plant driver; see
// terrainFrame.h.
#include "terrain/terrainFrame.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "scene/sceneConfig.h"
#include "terrain/splatting.h"
#include "terrain/terrainAlgorithm.h"
#include "util/threadClock.h"
#include "vegetation/plantSet.h"

float terrainColour[3] = {255.0f, 255.0f, 255.0f};
TerrainReport terrainReport = {};
TerrainFrameTimes terrainFrameTimes;

void reportTerrainTitle(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(terrainReport.title, sizeof terrainReport.title, format, args);
    va_end(args);
}

void setTerrainColour(float r, float g, float b) {
    terrainColour[0] = r;
    terrainColour[1] = g;
    terrainColour[2] = b;
}

int renderTerrainFrame() {
    getCameraPositionXYZ(frameCameraX, frameCameraY, frameCameraZ);
    extractFrustum();
    glDisable(GL_LIGHTING);
    terrainReport.title[0] = '\0';

    int triangles = 0;
    terrainFrameTimes = TerrainFrameTimes{};
    TerrainAlgorithm* algorithm = showTerrain ? selectedTerrainAlgorithm() : nullptr;
    if (algorithm) {
        {
            const AddThreadCpuTime timed(terrainFrameTimes.lodCpuSeconds);
            algorithm->update();
        }
        algorithm->draw();
        triangles = algorithm->triangles();
        algorithm->reportTitle();
    }

    terrainReport.triangles = triangles;

    // Plants are drawn with both units' bindings at 0 and blending off.
    resetTerrainTextures();

    const double plantsBefore = plantSelectionCpuSeconds;
    if (showPlants) {
        drawPlantSets();
        triangles += plantPolygons;
    } else if (showGrass) {
        plantPolygons = 0;
        drawGrassSet();
        triangles += plantPolygons;
    }
    terrainFrameTimes.plantCpuSeconds = plantSelectionCpuSeconds - plantsBefore;
    return triangles;
}
