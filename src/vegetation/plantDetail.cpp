// plantDetail.cpp -- detail selection and billboards; see plantDetail.h.
#include "vegetation/plantDetail.h"

#include <GL/gl.h>

#include <cmath>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "math/vector.h"
#include "vegetation/modelDraw.h"
#include "vegetation/plantBatch.h"

int plantAlgorithm = 1;
int plantPolygons = 0;
PlantDrawHook plantDrawHook = nullptr;

namespace {

Cvector3* billboardReference = nullptr;
Cvector3* billboardDirection = nullptr;

// The plant being drawn while the walk carries transforms (plantInstanceMode):
// its place, scale and the turn about the vertical axis gathered so far,
// where the one-plant-at-a-time path has them in the modelview instead.
struct CurrentPlant {
    float x = 0.0f, y = 0.0f, z = 0.0f, scale = 1.0f, turn = 0.0f;
};
CurrentPlant current;

void startPlant(float x, float y, float z, float scale) { current = {x, y, z, scale, 0.0f}; }

// Turns the plant about the vertical axis by angle degrees.
void turnBy(float angle) {
    if (plantInstanceMode)
        current.turn += angle;
    else
        glRotatef(angle, 0.0f, 1.0f, 0.0f);
}

// The plant's own random turn about the vertical axis.
void rotate(float rotation) {
    if (rotation > 0.001f) turnBy(rotation);
}

// faceCamera for the plant being drawn.
float face(float x, float z, float cameraX, float cameraZ) {
    if (!plantInstanceMode) return faceCamera(x, z, cameraX, cameraZ);
    float a = billboardAngle(x, z, cameraX, cameraZ);
    current.turn += a;
    return a;
}

// Runs draw with the plant turned by rotation, then turns it back.
template <typename Draw>
void withTurn(float rotation, Draw draw) {
    if (plantInstanceMode) {
        float saved = current.turn;
        current.turn += rotation;
        draw();
        current.turn = saved;
        return;
    }
    glPushMatrix();
    glRotatef(rotation, 0.0f, 1.0f, 0.0f);
    draw();
    glPopMatrix();
}

// The plant's transform; with the model's own scale and rotation for the
// batch, without them for drawObjectList and drawObjectListFaded, which
// apply those themselves.
PlantInstanceMatrix currentMatrix(const ObjectList* model) {
    return makeInstanceMatrix(model, current.x, current.y, current.z, current.scale, current.turn);
}

// Draws one plant's model through the one-plant path under its transform.
template <typename Draw>
void drawUnderPlantMatrix(Draw draw) {
    glPushMatrix();
    multiplyInstanceMatrix(currentMatrix(nullptr));
    draw();
    glPopMatrix();
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

// The clear cases of the box test, decided from the sphere round the box
// (which turning does not change): -1 every corner lies outside one plane,
// 1 every corner inside all six, 0 undecided. The sphere is a little larger
// than the box so rounding cannot make it decide otherwise than the corners.
int sphereTest(float cx, float cy, float cz, float hx, float hy, float hz) {
    float radius = std::sqrt(hx * hx + hy * hy + hz * hz) * 1.001f + 1.0e-3f;
    const float (*planes)[4] = getCamera()->frustum;
    bool inside = true;
    for (int p = 0; p < 6; ++p) {
        const float* plane = planes[p];
        float distance = plane[0] * cx + plane[1] * cy + plane[2] * cz + plane[3];
        if (distance < -radius) return -1;
        if (distance <= radius) inside = false;
    }
    return inside ? 1 : 0;
}

bool modelVisible(const ObjectList& model, float x, float y, float z, float cullScale, float angle) {
    if (!frustumCulling) return true;
    float sx = (model.maxX - model.minX) * model.scale[0] * cullScale;
    float sy = (model.maxY - model.minY) * model.scale[1] * cullScale;
    float sz = (model.maxZ - model.minZ) * model.scale[2] * cullScale;
    float cx = x + sx / 2.0f;
    float cy = y + sy / 2.0f;
    float cz = z + sz / 2.0f;
    if (std::isfinite(sx + sy + sz + cx + cy + cz)) {
        int clear = sphereTest(cx, cy, cz, std::fabs(sx), std::fabs(sy), std::fabs(sz));
        if (clear != 0) return clear > 0;
    }
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
        float a = face(x, z, cameraX, cameraZ);
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

float billboardAngle(float x, float z, float cameraX, float cameraZ) {
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
    return a + 90.0f;
}

float faceCamera(float x, float z, float cameraX, float cameraZ) {
    float a = billboardAngle(x, z, cameraX, cameraZ);
    glRotatef(a, 0.0f, 1.0f, 0.0f);
    return a;
}

void drawCulledModel(const ObjectList& model, float x, float y, float z, float cullScale, float angle) {
    if (!modelVisible(model, x, y, z, cullScale, angle)) return;
    if (plantDrawHook) plantDrawHook(model, 1.0f, cullScale, angle);
    plantPolygons += model.polygonTotal;
    if (!plantInstanceMode) {
        drawObjectList(model);
        return;
    }
    if (plantWalkOnly == 2) return;
    if (plantBatchOpen() && batchModel(model, currentMatrix(&model), plantColour)) return;
    if (plantWalkOnly) return;
    // Outside a batch (the fade pass) the model is drawn on its own; what
    // was gathered goes first, so the drawing order stays that of the walk.
    flushPlantBatch();
    drawUnderPlantMatrix([&] { drawObjectList(model); });
}

void drawCulledModelFaded(const ObjectList& model, float x, float y, float z, float cullScale, float angle,
                          float alpha) {
    if (!modelVisible(model, x, y, z, cullScale, angle)) return;
    if (plantDrawHook) plantDrawHook(model, alpha, cullScale, angle);
    plantPolygons += model.polygonTotal;
    if (!plantInstanceMode) {
        drawObjectListFaded(model, alpha);
        return;
    }
    if (!plantWalkOnly) drawUnderPlantMatrix([&] { drawObjectListFaded(model, alpha); });
}

void drawPlant(const PlantSet& set, float x, float y, float z, float scale, float rotation) {
    float cameraX, cameraZ;
    startPlant(x, y, z, scale);
    if (!set.hasFullModel) {
        if (set.hasBillboard && !set.hasCross) {
            cameraDistance(x, y, z, cameraX, cameraZ);
            float a = face(x, z, cameraX, cameraZ);
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
                withTurn(rotation, [&] { drawCulledModel(*set.fullModel, x, y, z, scale, rotation); });
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
    startPlant(x, y, z, scale);
    if (d < smoothFarLimit) {
        float t = (d - smoothNearLimit) / (smoothFarLimit - smoothNearLimit);
        float a = face(x, z, cameraX, cameraZ);
        drawCulledModelFaded(*set.billboardModel, x, y, z, scale, a, t);
        return;
    }
    float u = (d - smoothFarLimit) / smoothFadeOutBand;
    if (rotation > 0.001f) {
        withTurn(rotation, [&] { drawCulledModelFaded(*set.fullModel, x, y, z, scale, rotation, 1.0f - u); });
    } else {
        drawCulledModelFaded(*set.fullModel, x, y, z, scale, rotation, 1.0f - u);
    }
}
