// PlantCullingTest.cpp -- the culling of placed plant models decides as the
// box tests of the frustum do, for plants inside, outside and on the edges.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "camera/frustum.h"
#include "support/glTestContext.h"
#include "vegetation/plantDetail.h"

namespace {

int drawn = 0;
void countDraw(const ObjectList&, float, float, float) { ++drawn; }

}  // namespace

TEST(PlantCulling, EveryPlacedModelIsCulledExactlyAsItsBoxTestSays) {
    if (!makeTestGlContext(32, 32)) GTEST_SKIP() << "no offscreen OpenGL context";
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.6, 0.6, -0.45, 0.45, 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(12.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(-30.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(-50.0f, -8.0f, -50.0f);
    extractFrustum();
    glLoadIdentity();

    ObjectList model;
    model.minX = -1.0f;
    model.maxX = 1.5f;
    model.minY = 0.0f;
    model.maxY = 3.0f;
    model.minZ = -0.5f;
    model.maxZ = 0.8f;
    model.scale[0] = 1.2f;

    int savedCulling = frustumCulling;
    frustumCulling = 1;
    plantDrawHook = countDraw;
    int visible = 0, hidden = 0;
    // A grid of plants round the camera, far beyond the far plane too, each
    // at a few turns (0 takes the unturned test) and cull scales.
    for (float x = -80.0f; x <= 180.0f; x += 3.7f) {
        for (float z = -80.0f; z <= 180.0f; z += 3.3f) {
            for (float angle : {0.0f, 0.5f, 37.0f, 211.9f}) {
                for (float scale : {0.7f, 2.0f}) {
                    float sx = (model.maxX - model.minX) * model.scale[0] * scale;
                    float sy = (model.maxY - model.minY) * model.scale[1] * scale;
                    float sz = (model.maxZ - model.minZ) * model.scale[2] * scale;
                    float y = 0.3f * std::sin(x * 0.1f) * 10.0f;
                    float cx = x + sx / 2.0f, cy = y + sy / 2.0f, cz = z + sz / 2.0f;
                    int whole = static_cast<int>(angle);
                    bool expected = whole != 0 ? rotatedBoxInFrustum(cx, cy, cz, sx, sy, sz, static_cast<float>(whole))
                                               : boxInFrustum(cx, cy, cz, sx, sy, sz);
                    drawn = 0;
                    drawCulledModel(model, x, y, z, scale, angle);
                    ASSERT_EQ(drawn == 1, expected) << "plant at " << x << ", " << z << ", turn " << angle
                                                    << ", scale " << scale;
                    (expected ? visible : hidden) += 1;
                }
            }
        }
    }
    plantDrawHook = nullptr;
    frustumCulling = savedCulling;
    EXPECT_GT(visible, 1000) << "the grid reaches into the view";
    EXPECT_GT(hidden, 1000);
}
