// FrustumTest.cpp -- frustum planes from the GL matrices and the box tests.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "support/glTestContext.h"

namespace {
// Products and square roots of small single-precision matrices.
constexpr float planeTolerance = 1e-6f;

class FrustumTest : public testing::Test {
protected:
    void SetUp() override {
        if (!makeTestGlContext()) GTEST_SKIP() << "no offscreen OpenGL context";
        createCamera();
        flyMode = 1;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override { flyMode = 0; }
};

TEST_F(FrustumTest, IdentityMatricesGiveTheUnitCubeInPlaneOrder) {
    extractFrustum();
    const float expected[6][4] = {
        {-1, 0, 0, 1},  // right
        {1, 0, 0, 1},   // left
        {0, 1, 0, 1},   // bottom
        {0, -1, 0, 1},  // top
        {0, 0, -1, 1},  // far
        {0, 0, 1, 1},   // near
    };
    for (int p = 0; p < 6; ++p)
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(camera->frustum[p][k], expected[p][k], planeTolerance) << p << "," << k;
}

TEST_F(FrustumTest, BoxAndPointCasesAgainstTheUnitCube) {
    extractFrustum();
    struct Case {
        float centre[3], half[3];
        bool visible;
        const char* label;
    } cases[] = {
        {{0, 0, 0}, {0.5f, 0.5f, 0.5f}, true, "inside"},
        {{3, 0, 0}, {1, 1, 1}, false, "wholly right"},
        {{2, 0, 0}, {1, 1, 1}, false, "nearest corners exactly on the right plane"},
        {{0, -1.9f, 0}, {1, 1, 1}, true, "reaching in from below"},
        {{0, 0, 5}, {10, 10, 4.1f}, true, "wider than the cube, reaching in through the far plane"},
        {{0, 0, 5}, {10, 10, 4}, false, "wider than the cube, touching the far plane"},
        {{0, 0, 0}, {0, 0, 0}, true, "point at the centre"},
        {{0.999f, 0, 0}, {0, 0, 0}, true, "point just inside"},
        {{1, 0, 0}, {0, 0, 0}, false, "point on the right plane"},
        {{0, 0, -1}, {0, 0, 0}, false, "point on the near plane"},
        {{0, 1.5f, 0}, {0, 0, 0}, false, "point above"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(boxInFrustum(c.centre[0], c.centre[1], c.centre[2], c.half[0], c.half[1], c.half[2]), c.visible)
            << c.label;
        EXPECT_EQ(rotatedBoxInFrustum(c.centre[0], c.centre[1], c.centre[2], c.half[0], c.half[1], c.half[2], 0),
                  c.visible)
            << "angle 0: " << c.label;
    }
}

TEST_F(FrustumTest, QuarterTurnedBoxAnswersAsTheSwappedBox) {
    extractFrustum();
    // Centres where the long side across x or across z decides.
    const float centres[][3] = {{2.2f, 0, 0}, {-2.2f, 0, 0}, {0, 0, 2.2f}, {0, 0, -2.2f},
                                {1.3f, 1.9f, 0.2f}, {0.8f, 0, 2.4f}, {0, 0, 0}};
    for (const auto& c : centres) {
        for (float angle : {90.0f, -90.0f, 270.0f}) {
            EXPECT_EQ(rotatedBoxInFrustum(c[0], c[1], c[2], 2, 1, 0.5f, angle), boxInFrustum(c[0], c[1], c[2], 0.5f, 1, 2))
                << "centre " << c[0] << "," << c[1] << "," << c[2] << " angle " << angle;
        }
    }
    // The turn matters: unturned, the box at x 2.2 reaches in, turned it does not.
    EXPECT_TRUE(rotatedBoxInFrustum(2.2f, 0, 0, 2, 1, 0.5f, 0));
    EXPECT_FALSE(rotatedBoxInFrustum(2.2f, 0, 0, 2, 1, 0.5f, 90));
}

TEST_F(FrustumTest, BoxOutsideACornerButBehindNoSinglePlaneIsVisible) {
    extractFrustum();
    // A square turned 45 degrees outside the corner x = 1, z = 1 of the cube:
    // its x and z corners reach past each plane, but it never enters the cube.
    EXPECT_TRUE(rotatedBoxInFrustum(1.55f, 0, 1.55f, 0.5f, 0.5f, 0.5f, 45));
    // Moved a little further out, every corner is behind the right plane.
    EXPECT_FALSE(rotatedBoxInFrustum(1.75f, 0, 1.55f, 0.5f, 0.5f, 0.5f, 45));
}

TEST_F(FrustumTest, PerspectiveViewFromTheCamera) {
    // The camera at (10, 5, 20) looking along +x: planes come from the
    // projection times the camera's view transform.
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45, 1, 1, 100);
    setCameraAll(10, 5, 20, 90, 0);
    applyView();
    extractFrustum();
    for (int p = 0; p < 6; ++p) {
        const float* plane = camera->frustum[p];
        EXPECT_NEAR(std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]), 1.0f, planeTolerance)
            << "plane " << p << " is normalised";
    }
    // The near plane is 1 ahead of the eye, so its value is a distance.
    const float* nearPlane = camera->frustum[5];
    EXPECT_NEAR(nearPlane[0] * 15 + nearPlane[1] * 5 + nearPlane[2] * 20 + nearPlane[3], 4.0f, 1e-4f)
        << "signed distance of a point 5 ahead to the near plane";
    struct Case {
        float point[3];
        bool visible;
        const char* label;
    } cases[] = {
        {{30, 5, 20}, true, "20 ahead"},
        {{10.5f, 5, 20}, false, "nearer than the near plane"},
        {{-10, 5, 20}, false, "behind"},
        {{115, 5, 20}, false, "beyond the far plane"},
        {{30, 5, 24}, true, "ahead, a little right"},
        {{30, 5, 40}, false, "ahead, far right (beyond half the 45 degree view)"},
        {{30, 5, 0}, false, "ahead, far left"},
        {{30, 12, 20}, true, "ahead, a little up"},
        {{30, 20, 20}, false, "ahead, far up"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(boxInFrustum(c.point[0], c.point[1], c.point[2], 0, 0, 0), c.visible) << c.label;
}
}  // namespace
