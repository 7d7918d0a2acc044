// ModelDrawTest.cpp -- drawing plant models on the offscreen context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>

#include "support/glTestContext.h"
#include "support/imageCompare.h"
#include "vegetation/modelDraw.h"
#include "vegetation/plantTestModels.h"

namespace {

constexpr int side = 64;

class ModelDraw : public ::testing::Test {
protected:
    std::deque<ObjectList> models;  // stable addresses for the references handed out

    void SetUp() override {
        if (!makeTestGlContext(side, side)) GTEST_SKIP() << "no offscreen OpenGL context";
        glViewport(0, 0, side, side);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        alphaReference = 0.6f;
        setPlantColour(255.0f, 255.0f, 255.0f);
    }

    void TearDown() override {
        for (ObjectList& model : models) releaseObjectList(model);
    }

    ObjectList& keep(ObjectList model) {
        models.push_back(model);
        return models.back();
    }

    // Colour of the pixel at (x, y), counted from the bottom left.
    static void pixel(const TestImage& image, int x, int y, int rgb[3]) {
        for (int c = 0; c < 3; ++c) rgb[c] = image.rgb[(y * image.width + x) * 3 + c];
    }
};

// A triangle over the whole viewport in one colour.
Polygon screenTriangle(int red, int green, int blue) {
    return makeTestPolygon({-1, -1, 0, 3, -1, 0, -1, 3, 0}, red, green, blue);
}

}  // namespace

TEST_F(ModelDraw, EachObjectListIsCompiledOnceAndKeepsItsFirstColours) {
    ObjectList& model = keep(makeTestModel({screenTriangle(255, 0, 0)}, 0));
    drawObjectList(model);
    const Object& object = model.objects[0];
    ASSERT_EQ(object.listBuilt, 1);
    GLuint list = object.displayList;
    EXPECT_EQ(glIsList(list), GL_TRUE);

    // The second draw replays the list: a colour changed in the record
    // afterwards does not show, and no new list is made.
    model.objects[0].polygons[0].green = 255;
    glClear(GL_COLOR_BUFFER_BIT);
    drawObjectList(model);
    EXPECT_EQ(object.displayList, list);
    int rgb[3];
    TestImage image = readFrameBuffer(side, side);
    pixel(image, side / 2, side / 2, rgb);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0) << "the list compiled at the first draw must be replayed";

    // The faded path draws in immediate mode and sees the record as it is.
    glClear(GL_COLOR_BUFFER_BIT);
    drawObjectListFaded(model, 1.0f);
    image = readFrameBuffer(side, side);
    pixel(image, side / 2, side / 2, rgb);
    EXPECT_EQ(rgb[1], 255);
}

TEST_F(ModelDraw, AlphaReferenceOfAModelStaysForTheNextModel) {
    ObjectList& broad16 = keep(makeTestModel({screenTriangle(255, 255, 255)}, 1));
    broad16.hasAlpha = 1;
    broad16.alpha = 0.3f;
    ObjectList& plain = keep(makeTestModel({screenTriangle(255, 255, 255)}, 1));
    drawObjectList(broad16);
    EXPECT_FLOAT_EQ(alphaReference, 0.3f);
    drawObjectList(plain);
    EXPECT_FLOAT_EQ(alphaReference, 0.3f);
    GLfloat reference = 0.0f;
    glGetFloatv(GL_ALPHA_TEST_REF, &reference);
    EXPECT_NEAR(reference, 0.3f, 1e-3f) << "the second model's list is compiled with the first one's reference";
    // State left behind for the passes that follow.
    EXPECT_EQ(glIsEnabled(GL_ALPHA_TEST), GL_FALSE);
    EXPECT_EQ(glIsEnabled(GL_BLEND), GL_FALSE);
    EXPECT_EQ(glIsEnabled(GL_CULL_FACE), GL_FALSE);
}

TEST_F(ModelDraw, SharedTexturePathDrawsAQuadAsItsFirstTriangle) {
    ObjectList& model = keep(makeTestModel({makeTestPolygon({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0})}, 1));
    setPlantColour(255.0f, 0.0f, 0.0f);
    drawObjectList(model);
    TestImage image = readFrameBuffer(side, side);
    int rgb[3];
    pixel(image, side - 8, 8, rgb);  // inside the first three vertices
    EXPECT_EQ(rgb[0], 255);
    pixel(image, 8, side - 8, rgb);  // only the fourth vertex would reach here
    EXPECT_EQ(rgb[0], 0);
}

TEST_F(ModelDraw, PolygonsByVertexCountAndColourSource) {
    Polygon vertexColoured = makeTestPolygon({0, -1, 0, 1, -1, 0, 1, 0, 0, 0, 0, 0}, -1, 0, 0);
    const int corners[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    for (int i = 0; i < 12; ++i) vertexColoured.colours[i] = corners[i];
    ObjectList& model = keep(makeTestModel(
        {
            makeTestPolygon({-1, -1, 0, 0, -1, 0, -1, 0, 0}, 0, 0, 255),                 // triangle, lower left
            vertexColoured,                                                              // quad, lower right
            makeTestPolygon({-1, 0, 0, 0, 0, 0, 0, 1, 0, -1, 1, 0}, 255, 255, 0),        // quad, upper left
            makeTestPolygon({0, 0, 0, 1, 0, 0, 1, 1, 0, 0.5f, 1.2f, 0, 0, 1, 0}, 255, 255, 255),  // five vertices
        },
        0));
    drawObjectList(model);
    TestImage image = readFrameBuffer(side, side);
    int rgb[3];
    pixel(image, 4, 4, rgb);
    EXPECT_EQ(rgb[2], 255) << "triangle in the polygon colour";
    pixel(image, side / 2 + 1, 1, rgb);
    EXPECT_GT(rgb[0], 200) << "quad corner takes its vertex colour";
    EXPECT_LT(rgb[1], 40);
    pixel(image, side - 2, 1, rgb);
    EXPECT_GT(rgb[1], 200);
    pixel(image, 8, side - 8, rgb);
    EXPECT_EQ(rgb[0], 255) << "quad in the polygon colour";
    EXPECT_EQ(rgb[1], 255);
    pixel(image, side - 16, side - 16, rgb);
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0) << "a five-vertex polygon draws nothing";
    expectMatchesReference("plantPolygonKinds", image, 8, 0.01);
}

TEST_F(ModelDraw, FadedModelIsTranslucentByItsAlpha) {
    ObjectList& model = keep(makeTestModel({screenTriangle(255, 255, 255)}, 1));
    drawObjectListFaded(model, 0.5f);
    TestImage image = readFrameBuffer(side, side);
    int rgb[3];
    pixel(image, side / 2, side / 2, rgb);
    EXPECT_NEAR(rgb[0], 128, 3) << "half-faded white over black";
    EXPECT_EQ(model.objects[0].listBuilt, 0) << "the faded path builds no lists";
    glClear(GL_COLOR_BUFFER_BIT);
    drawObjectListFaded(model, 0.0f);
    image = readFrameBuffer(side, side);
    pixel(image, side / 2, side / 2, rgb);
    EXPECT_EQ(rgb[0], 0) << "fully faded draws nothing";
}
