// plantDetail.cpp -- detail selection and billboards; see plantDetail.h.
#include "vegetation/plantDetail.h"

#include <GL/gl.h>

#include <cmath>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "math/vector.h"
#include "vegetation/modelDraw.h"

int plantAlgorithm = 1;
int plantPolygons = 0;
PlantDrawHook plantDrawHook = nullptr;

namespace {

Cvector3* billboardReference = nullptr;
Cvector3* billboardDirection = nullptr;

// The plant's own random turn about the vertical axis.
void rotate(float rotation) {
    if (rotation > 0.001f) glRotatef(rotation, 0.0f, 1.0f, 0.0f);
}

float cameraDistance(float x, float y, float z, float& cameraX, float& cameraZ) {
    float cameraY;
    getCameraPositionXYZ(cameraX, cameraY, cameraZ);
    return vectorLength(Cvector3{x - cameraX, y - cameraY, z - cameraZ});
}

// Whole degrees of an angle; values beyond the int range (never produced
// by placement) count as a turn.
int wholeDegrees(float angle) {
    if (!(std::fabs(angle) < 2.0e9f)) return 1;
    return static_cast<int>(angle);
}

bool modelVisible(const ObjectList& model, float x, float y, float z, float cullScale, float angle) {
    if (!frustumCulling) return true;
    float sx = (model.maxX - model.minX) * model.scale[0] * cullScale;
    float sy = (model.maxY - model.minY) * model.scale[1] * cullScale;
    float sz = (model.maxZ - model.minZ) * model.scale[2] * cullScale;
    float cx = x + sx / 2.0f;
    float cy = y + sy / 2.0f;
    float cz = z + sz / 2.0f;
    // The full sizes go where the tests take half extents: the tested box is
    // twice the model's extent, which keeps plants near the edges visible.
    int whole = wholeDegrees(angle);
    if (std::abs(whole) > 0.001) return rotatedBoxInFrustum(cx, cy, cz, sx, sy, sz, static_cast<float>(whole));
    return boxInFrustum(cx, cy, cz, sx, sy, sz);
}

// Faces the camera and draws the billboard, or rotates and draws the full
// model when the set has no billboard.
void drawBillboardOrFull(const PlantSet& set, float x, float y, float z, float scale, float rotation,
                         float cameraX, float cameraZ) {
    if (set.hasBillboard) {
        float a = faceCamera(x, z, cameraX, cameraZ);
        drawCulledModel(*set.billboardModel, x, y, z, scale, a);
    } else {
        rotate(rotation);
        drawCulledModel(*set.fullModel, x, y, z, scale, rotation);
    }
}

void drawCrossOrFull(const PlantSet& set, float x, float y, float z, float scale, float rotation) {
    rotate(rotation);
    drawCulledModel(set.hasCross ? *set.crossModel : *set.fullModel, x, y, z, scale, rotation);
}

}  // namespace

float faceCamera(float x, float z, float cameraX, float cameraZ) {
    if (!billboardReference) {
        billboardReference = makeVector(1.0f, 0.0f, 0.0f);
        billboardDirection = makeVector(0.0f, 0.0f, 0.0f);
    }
    *billboardDirection = Cvector3{cameraX - x, 0.0f, cameraZ - z};
    float a = angleBetween(*billboardReference, *billboardDirection);
    // A camera standing exactly on the plant has no direction; keep the
    // billboard's own orientation rather than a NaN matrix.
    if (std::isnan(a)) a = 0.0f;
    if (z < cameraZ) a = -a;
    glRotatef(a + 90.0f, 0.0f, 1.0f, 0.0f);
    return a + 90.0f;
}

void drawCulledModel(const ObjectList& model, float x, float y, float z, float cullScale, float angle) {
    if (!modelVisible(model, x, y, z, cullScale, angle)) return;
    if (plantDrawHook) plantDrawHook(model, 1.0f, cullScale, angle);
    drawObjectList(model);
    plantPolygons += model.polygonTotal;
}

void drawCulledModelFaded(const ObjectList& model, float x, float y, float z, float cullScale, float angle,
                          float alpha) {
    if (!modelVisible(model, x, y, z, cullScale, angle)) return;
    if (plantDrawHook) plantDrawHook(model, alpha, cullScale, angle);
    drawObjectListFaded(model, alpha);
    plantPolygons += model.polygonTotal;
}

void drawPlant(const PlantSet& set, float x, float y, float z, float scale, float rotation) {
    float cameraX, cameraZ;
    if (!set.hasFullModel) {
        if (set.hasBillboard && !set.hasCross) {
            cameraDistance(x, y, z, cameraX, cameraZ);
            float a = faceCamera(x, z, cameraX, cameraZ);
            drawCulledModel(*set.billboardModel, x, y, z, 2.0f * scale, a);
        }
        return;
    }
    switch (plantAlgorithm) {
    case 1:
        rotate(rotation);
        drawCulledModel(*set.fullModel, x, y, z, scale, rotation);
        break;
    case 2:
        drawCrossOrFull(set, x, y, z, scale, rotation);
        break;
    case 3:
        cameraDistance(x, y, z, cameraX, cameraZ);
        drawBillboardOrFull(set, x, y, z, scale, rotation, cameraX, cameraZ);
        break;
    case 4: {
        float d = cameraDistance(x, y, z, cameraX, cameraZ);
        if (d < mixedFullLimit) {
            rotate(rotation);
            drawCulledModel(*set.fullModel, x, y, z, scale, rotation);
        } else if (d < mixedCrossLimit) {
            drawCrossOrFull(set, x, y, z, scale, rotation);
        } else {
            drawBillboardOrFull(set, x, y, z, scale, rotation, cameraX, cameraZ);
        }
        break;
    }
    case 5: {
        float d = cameraDistance(x, y, z, cameraX, cameraZ);
        if (d < smoothNearLimit) {
            rotate(rotation);
            drawCulledModel(*set.fullModel, x, y, z, scale, rotation);
        } else if (d < smoothFarLimit) {
            // The opaque full model under the billboard that fades in
            // during the second pass.
            if (set.hasBillboard) {
                glPushMatrix();
                glRotatef(rotation, 0.0f, 1.0f, 0.0f);
                drawCulledModel(*set.fullModel, x, y, z, scale, rotation);
                glPopMatrix();
            } else {
                rotate(rotation);
                drawCulledModel(*set.fullModel, x, y, z, scale, rotation);
            }
        } else {
            drawBillboardOrFull(set, x, y, z, scale, rotation, cameraX, cameraZ);
        }
        break;
    }
    default:
        break;
    }
}

void drawPlantFade(const PlantSet& set, float x, float y, float z, float scale, float rotation) {
    if (plantAlgorithm != 5 || !set.hasFullModel || !set.hasBillboard) return;
    float cameraX, cameraZ;
    float d = cameraDistance(x, y, z, cameraX, cameraZ);
    if (d < smoothNearLimit || d >= smoothFarLimit + smoothFadeOutBand) return;
    if (d < smoothFarLimit) {
        float t = (d - smoothNearLimit) / (smoothFarLimit - smoothNearLimit);
        float a = faceCamera(x, z, cameraX, cameraZ);
        drawCulledModelFaded(*set.billboardModel, x, y, z, scale, a, t);
        return;
    }
    float u = (d - smoothFarLimit) / smoothFadeOutBand;
    if (rotation > 0.001f) {
        glPushMatrix();
        glRotatef(rotation, 0.0f, 1.0f, 0.0f);
        drawCulledModelFaded(*set.fullModel, x, y, z, scale, rotation, 1.0f - u);
        glPopMatrix();
    } else {
        drawCulledModelFaded(*set.fullModel, x, y, z, scale, rotation, 1.0f - u);
    }
}
