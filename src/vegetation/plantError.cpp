// plantError.cpp -- the plant error measurement; see plantError.h for what
// each number means.
#include "vegetation/plantError.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "image/offscreenTarget.h"
#include "image/pictureCompare.h"
#include "scene/sceneConfig.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "util/output.h"
#include "vegetation/plantSet.h"

namespace {

// The plants as the frame draws them, with the given scheme, over what is
// already in the target.
void drawPlants(const TerrainView& view, int scheme) {
    const int savedScheme = plantAlgorithm;
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    loadTerrainView(view);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
    // The frame draws plants with both units' bindings at 0 and blending off.
    resetTerrainTextures();
    plantAlgorithm = scheme;
    if (showPlants) {
        drawPlantSets();
    } else if (showGrass) {
        plantPolygons = 0;
        drawGrassSet();
    }
    plantAlgorithm = savedScheme;
    glPopAttrib();
    glColor4fv(colour);
}

void drawGround(const TerrainView& view) {
    if (showTerrain && bruteTerrain.data && bruteTerrain.size >= 2) drawFullGridSinglePass(bruteTerrain, view);
}

}  // namespace

PlantErrorStatus measurePlantError(const TerrainView& view, PlantErrorResult& result, std::string& why) {
    result = PlantErrorResult{};
    if (!showPlants && !showGrass) {
        why = "the plants and the grass are switched off; nothing to measure";
        return PlantErrorStatus::plantsOff;
    }
    OffscreenTarget target;
    if (!target.begin(view.width, view.height, why)) return PlantErrorStatus::noOffscreen;

    // Plant culling tests the frustum of the measured view; the frame's
    // planes and counts are put back afterwards.
    Ccamera* c = getCamera();
    float planes[6][4];
    std::memcpy(planes, c->frustum, sizeof planes);
    const float pixelsPerUnit = frustumPixelsPerUnit;
    const int polygons = plantPolygons;
    loadTerrainView(view);
    extractFrustum();

    OffscreenPicture ground, scheme, full;
    target.clear();
    drawGround(view);
    target.read(ground, true);
    drawPlants(view, plantAlgorithm);
    target.read(scheme, true);
    target.clear();
    drawGround(view);
    drawPlants(view, 1);
    target.read(full, true);
    target.end();

    std::memcpy(c->frustum, planes, sizeof planes);
    frustumPixelsPerUnit = pixelsPerUnit;
    plantPolygons = polygons;

    // Plant pixels: where either picture's depth differs from the ground's.
    const size_t pixels = static_cast<size_t>(view.width) * static_cast<size_t>(view.height);
    std::vector<uint8_t> mask(pixels, 0);
    for (size_t i = 0; i < pixels; ++i)
        mask[i] = (scheme.depth[i] != ground.depth[i] || full.depth[i] != ground.depth[i]) ? 1 : 0;
    PictureDifference difference = comparePictures(scheme.rgba.data(), full.rgba.data(), pixels, mask.data());
    result.imageShare = difference.share;
    result.psnr = difference.psnr;
    result.comparedPixels = difference.compared;
    return PlantErrorStatus::measured;
}

std::string plantErrorLine(const PlantErrorResult& result) {
    char psnr[32];
    if (std::isinf(result.psnr))
        snprintf(psnr, sizeof psnr, "inf");
    else
        snprintf(psnr, sizeof psnr, "%.2f dB", result.psnr);
    char line[128];
    snprintf(line, sizeof line, "Plant error: differing pixels %.4f, PSNR %s", result.imageShare, psnr);
    return line;
}

PlantErrorStatus measureAndReportPlantError(PlantErrorResult& result) {
    std::string why;
    PlantErrorStatus status = measurePlantError(currentTerrainView(), result, why);
    if (status == PlantErrorStatus::measured)
        outputPrintf("%s\n", plantErrorLine(result).c_str());
    else
        outputPrintf("Plant error: %s\n", why.c_str());
    return status;
}
