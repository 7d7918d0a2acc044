// PlantDetailTest.cpp -- which model each detail scheme draws, and billboards.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "support/glTestContext.h"
#include "vegetation/plantDetail.h"

namespace {

// Empty models told apart by address; their polygon counts differ so the
// polygon total shows which were drawn.
ObjectList fullModel;
ObjectList billboardModel;
ObjectList crossModel;

struct Draw {
    const ObjectList* model;
    float alpha;
    float cullScale;
    float angle;
};
std::vector<Draw> draws;

void recordDraw(const ObjectList& model, float alpha, float cullScale, float angle) {
    draws.push_back({&model, alpha, cullScale, angle});
}

// The draws as text, e.g. "full bill@0.50".
std::string describe() {
    std::string text;
    for (const Draw& d : draws) {
        if (!text.empty()) text += " ";
        text += d.model == &fullModel ? "full" : d.model == &billboardModel ? "bill" : "cross";
        if (d.alpha != 1.0f) {
            char alpha[16];
            snprintf(alpha, sizeof alpha, "@%.2f", d.alpha);
            text += alpha;
        }
    }
    return text;
}

enum SetKind { everyModel, fullOnly, fullAndCross, billboardOnly, billboardAndCross };

PlantSet& plantSet(SetKind kind) {
    static PlantSet sets[5];
    PlantSet& set = sets[kind];
    set.fullModel = &fullModel;
    set.billboardModel = &billboardModel;
    set.crossModel = &crossModel;
    set.hasFullModel = kind == everyModel || kind == fullOnly || kind == fullAndCross;
    set.hasBillboard = kind == everyModel || kind == billboardOnly || kind == billboardAndCross;
    set.hasCross = kind == everyModel || kind == fullAndCross || kind == billboardAndCross;
    return set;
}

class PlantDetail : public ::testing::Test {
protected:
    int savedCulling = 0;

    void SetUp() override {
        if (!makeTestGlContext(32, 32)) GTEST_SKIP() << "no offscreen OpenGL context";
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        fullModel.polygonTotal = 100;
        billboardModel.polygonTotal = 2;
        crossModel.polygonTotal = 8;
        savedCulling = frustumCulling;
        frustumCulling = 0;
        plantDrawHook = recordDraw;
        setCameraPositionRaw(0.0f, 0.0f, 0.0f);
    }

    void TearDown() override {
        frustumCulling = savedCulling;
        plantDrawHook = nullptr;
        plantAlgorithm = 1;
    }

    // Both passes for one plant at the given distance east of the camera.
    std::string drawAt(SetKind kind, int scheme, float distance) {
        plantAlgorithm = scheme;
        draws.clear();
        plantPolygons = 0;
        drawPlant(plantSet(kind), distance, 0.0f, 0.0f, 1.5f, 30.0f);
        drawPlantFade(plantSet(kind), distance, 0.0f, 0.0f, 1.5f, 30.0f);
        return describe();
    }
};

struct SchemeCase {
    SetKind kind;
    int scheme;
    float distance;
    const char* expected;
};

}  // namespace

TEST_F(PlantDetail, EachSchemeDrawsTheModelForTheDistance) {
    const SchemeCase cases[] = {
        {everyModel, 1, 100.0f, "full"},
        {everyModel, 2, 5.0f, "cross"},
        {everyModel, 3, 5.0f, "bill"},
        {everyModel, 4, 29.9f, "full"},
        {everyModel, 4, 30.0f, "cross"},
        {everyModel, 4, 49.9f, "cross"},
        {everyModel, 4, 50.0f, "bill"},
        {everyModel, 5, 14.9f, "full"},
        {everyModel, 5, 22.5f, "full bill@0.50"},
        {everyModel, 5, 35.0f, "bill full@0.50"},
        {everyModel, 5, 40.0f, "bill"},
        {everyModel, 0, 5.0f, ""},
        {everyModel, 6, 5.0f, ""},
        {fullOnly, 2, 5.0f, "full"},
        {fullOnly, 3, 5.0f, "full"},
        {fullOnly, 4, 30.0f, "full"},
        {fullOnly, 4, 50.0f, "full"},
        {fullOnly, 5, 22.5f, "full"},
        {fullOnly, 5, 35.0f, "full"},
        {fullAndCross, 3, 5.0f, "full"},
        {fullAndCross, 4, 49.9f, "cross"},
        {fullAndCross, 4, 50.0f, "full"},
        {fullAndCross, 5, 22.5f, "full"},
        {fullAndCross, 5, 45.0f, "full"},
        {billboardAndCross, 1, 5.0f, ""},
    };
    for (const SchemeCase& c : cases)
        EXPECT_EQ(drawAt(c.kind, c.scheme, c.distance), c.expected)
            << "set kind " << c.kind << ", scheme " << c.scheme << ", distance " << c.distance;
}

TEST_F(PlantDetail, BillboardOnlySetShowsItsBillboardUnderEveryScheme) {
    for (int scheme = 1; scheme <= 5; ++scheme) {
        for (float distance : {5.0f, 22.5f, 35.0f, 60.0f}) {
            EXPECT_EQ(drawAt(billboardOnly, scheme, distance), "bill") << "scheme " << scheme << ", " << distance;
            ASSERT_EQ(draws.size(), 1u);
            EXPECT_FLOAT_EQ(draws[0].cullScale, 3.0f) << "culled at twice the plant's scale";
            // Camera due west of the plant: turned by 180 + 90.
            EXPECT_NEAR(draws[0].angle, 270.0f, 1e-3f);
        }
    }
}

TEST_F(PlantDetail, DrawnModelsAddTheirPolygonsToTheFrame) {
    drawAt(everyModel, 5, 22.5f);
    EXPECT_EQ(plantPolygons, 102);
    drawAt(everyModel, 2, 5.0f);
    EXPECT_EQ(plantPolygons, 8);
    drawAt(everyModel, 1, 5.0f);
    EXPECT_EQ(plantPolygons, 100);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_FLOAT_EQ(draws[0].angle, 30.0f) << "full models are culled with the plant's own rotation";
}

TEST_F(PlantDetail, FaceCameraTurnsTheBillboardTowardTheCamera) {
    struct Case {
        float cameraX, cameraZ;
        float expected;
    };
    const float offset = static_cast<float>(std::atan2(5.0, 10.0) * 180.0 / M_PI);
    const Case cases[] = {
        {10.0f, 0.0f, 90.0f},             // due east
        {10.0f, 5.0f, 90.0f - offset},    // camera z above the plant's: the angle is negated
        {10.0f, -5.0f, 90.0f + offset},
        {0.0f, 0.0f, 90.0f},              // camera on the plant: no direction, no NaN
    };
    for (const Case& c : cases) {
        glLoadIdentity();
        float angle = faceCamera(0.0f, 0.0f, c.cameraX, c.cameraZ);
        EXPECT_NEAR(angle, c.expected, 1e-3f) << "camera at " << c.cameraX << ", " << c.cameraZ;
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        float radians = c.expected * static_cast<float>(M_PI) / 180.0f;
        EXPECT_NEAR(m[0], std::cos(radians), 1e-4f) << "rotation about the vertical axis";
        EXPECT_NEAR(m[8], std::sin(radians), 1e-4f);
    }
}
