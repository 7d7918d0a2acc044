// PlantBatchTest.cpp -- batched plant drawing gives the pictures and counts
// of drawing one plant at a time.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "math/random.h"
#include "scene/sceneConfig.h"
#include "support/glTestContext.h"
#include "support/imageCompare.h"
#include "terrain/sceneGrids.h"
#include "vegetation/modelDraw.h"
#include "vegetation/plantBatch.h"
#include "vegetation/plantDetail.h"
#include "vegetation/plantSet.h"
#include "vegetation/plantTestModels.h"

namespace {

constexpr int viewWidth = 160, viewHeight = 120;
constexpr int mapSide = 65;

// A textured triangle on the single-texture path.
Polygon leaf(std::initializer_list<float> points, std::initializer_list<float> uvs, GLuint texture) {
    Polygon polygon = makeTestPolygon(points);
    polygon.isTextured = 1;
    polygon.texture = texture;
    int i = 0;
    for (float uv : uvs) polygon.uvs[i++] = uv;
    return polygon;
}

ObjectList texturedModel(const std::vector<Polygon>& polygons, GLuint texture) {
    ObjectList model = makeTestModel(polygons, 1);
    model.objects[0].texture = texture;
    return model;
}

class PlantBatch : public ::testing::Test {
protected:
    std::string directory;
    std::deque<ObjectList> models;
    GLuint textures[2] = {0, 0};
    PlantSet leafy, spearSet, mixed;
    float savedMapSize = 0.0f, savedMapExtent = 0.0f;
    int savedCulling = 0;

    void SetUp() override {
        if (!makeTestGlContext(viewWidth, viewHeight)) GTEST_SKIP() << "no offscreen OpenGL context";
        char pattern[] = "/tmp/morvista-plant-batch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        savedMapSize = mapSize;
        savedMapExtent = mapExtent;
        savedCulling = frustumCulling;
        mapSize = static_cast<float>(mapSide);
        mapExtent = static_cast<float>(mapSide - 1);
        ASSERT_TRUE(bruteTerrain.load(grid("height.raw", [](int x, int z) { return (x * 3 + z * 2) & 0x3F; }).c_str(),
                                      mapSide));
        bruteTerrain.setScale(1.0f, 0.25f, 1.0f);
        ASSERT_TRUE(lightmapGrid.load(grid("light.raw", [](int x, int z) { return 90 + (x * 7 + z * 5) % 160; }).c_str(),
                                      mapSide));
        makeTextures();
        makeSets();
    }

    void TearDown() override {
        if (directory.empty()) return;
        for (ObjectList& model : models) releaseObjectList(model);
        if (textures[0]) glDeleteTextures(2, textures);
        bruteTerrain.release();
        lightmapGrid.release();
        mapSize = savedMapSize;
        mapExtent = savedMapExtent;
        frustumCulling = savedCulling;
        plantBatching = 1;
        plantAlgorithm = 1;
        std::string command = "rm -rf '" + directory + "'";
        (void)!system(command.c_str());
    }

    template <typename Value>
    std::string grid(const std::string& name, Value value) {
        std::string bytes(static_cast<size_t>(mapSide) * mapSide, '\0');
        for (int z = 0; z < mapSide; ++z)
            for (int x = 0; x < mapSide; ++x) bytes[x + z * mapSide] = static_cast<char>(value(x, z));
        std::string path = directory + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Two 16 x 16 textures whose alpha cuts holes at several levels, so the
    // alpha reference of each model shows in the picture.
    void makeTextures() {
        glGenTextures(2, textures);
        for (int t = 0; t < 2; ++t) {
            unsigned char texels[16 * 16 * 4];
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    unsigned char* p = &texels[(y * 16 + x) * 4];
                    p[0] = static_cast<unsigned char>(t ? 240 : 60 + x * 10);
                    p[1] = static_cast<unsigned char>(t ? 80 + y * 8 : 200);
                    p[2] = static_cast<unsigned char>(t ? 40 : 30 + y * 12);
                    p[3] = static_cast<unsigned char>(((x + y) % 4) * 80);
                }
            }
            glBindTexture(GL_TEXTURE_2D, textures[t]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
    }

    ObjectList& keep(ObjectList model) {
        models.push_back(model);
        return models.back();
    }

    // A plant set with a scaled and tilted full model of two objects, a
    // billboard and a crossed billboard; a billboard-only set; and a set
    // whose model mixes textures (drawn polygon by polygon, blended).
    void makeSets() {
        GLuint a = textures[0], b = textures[1];
        ObjectList& full = keep(texturedModel(
            {leaf({-1, 0, 0, 1, 0, 0, 0, 3, 0.5f}, {0, 0, 1, 0, 0.5f, 1}, a),
             leaf({0, 0, -1, 0, 0, 1, 0.4f, 2.5f, 0}, {0, 0, 1, 0, 0.5f, 1}, a)},
            a));
        full.isScaled = 1;
        full.scale[0] = 1.2f;
        full.scale[1] = 0.9f;
        full.scale[2] = 1.1f;
        full.isRotated = 1;
        full.rotation[0] = 20.0f;
        full.rotation[1] = 1.0f;
        full.rotation[3] = 0.5f;
        full.hasAlpha = 1;
        full.alpha = 0.3f;
        ObjectList& bill = keep(texturedModel({leaf({-1, 0, 0, 1, 0, 0, 1, 2, 0}, {0, 0, 1, 0, 1, 1}, b),
                                               leaf({-1, 0, 0, 1, 2, 0, -1, 2, 0}, {0, 0, 1, 1, 0, 1}, b)},
                                              b));
        ObjectList& cross = keep(texturedModel({leaf({-1, 0, 0, 1, 0, 0, 0, 2, 0}, {0, 0, 1, 0, 0.5f, 1}, b),
                                                leaf({0, 0, -1, 0, 0, 1, 0, 2, 0}, {0, 0, 1, 0, 0.5f, 1}, b)},
                                               b));
        setFullModel(leafy, full);
        setBillboardModel(leafy, bill);
        setCrossBillboardModel(leafy, cross);
        setSpacing(leafy, 3.0f);
        setPositionJitter(leafy, -1.0f, 1.0f);
        setScaleJitter(leafy, 0.0f, 1.0f);
        setRotationRange(leafy, 0.0f, 360.0f);

        setBillboardModel(spearSet, bill);
        setSpacing(spearSet, 7.0f);
        setSeed(spearSet, 5.0f);

        Polygon textured = leaf({-0.5f, 0, 0, 0.5f, 0, 0, 0, 2, 0}, {0, 0, 1, 0, 0.5f, 1}, a);
        Polygon stem = makeTestPolygon({-0.1f, 0, 0, 0.1f, 0, 0, 0.1f, 1.5f, 0, -0.1f, 1.5f, 0}, 120, 60, 20);
        Polygon shaded = makeTestPolygon({0, 0, -0.3f, 0, 0, 0.3f, 0, 1.2f, 0.3f, 0, 1.2f, -0.3f}, -1, 0, 0);
        const int corners[12] = {200, 40, 40, 40, 200, 40, 40, 40, 200, 220, 220, 60};
        for (int i = 0; i < 12; ++i) shaded.colours[i] = corners[i];
        Polygon quad = makeTestPolygon({-0.4f, 1.0f, 0, 0.4f, 1.0f, 0, 0.3f, 1.8f, 0.2f, -0.2f, 1.7f, 0.2f});
        quad.isTextured = 1;
        quad.texture = b;
        const float quadUvs[8] = {0, 0, 1, 0, 1, 1, 0, 1};
        for (int i = 0; i < 8; ++i) quad.uvs[i] = quadUvs[i];
        // Textured polygons first, then untextured ones in the polygon colour
        // and in vertex colours, as the scene's mixed models are built.
        ObjectList& mixedModel = keep(makeTestModel({textured, quad, stem, shaded}, 0));
        mixedModel.isScaled = 1;
        mixedModel.scale[0] = mixedModel.scale[1] = mixedModel.scale[2] = 1.5f;
        setFullModel(mixed, mixedModel);
        setSpacing(mixed, 9.0f);
        setSeed(mixed, 2.0f);
        setRotationRange(mixed, 0.0f, 360.0f);
    }

    // One frame of the three sets from a walker near the middle of the map,
    // looking across the plants; returns the picture.
    TestImage frame(int batching, int scheme, int& polygons) {
        const float eye[3] = {30.0f, 14.0f, 62.0f};
        return frameFrom(eye, -25.0f, 18.0f, batching, scheme, polygons);
    }

    // The same from any place, turned by yaw and tilted down by pitch
    // (degrees).
    TestImage frameFrom(const float eye[3], float yaw, float pitch, int batching, int scheme, int& polygons) {
        plantBatching = batching;
        plantAlgorithm = scheme;
        glViewport(0, 0, viewWidth, viewHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.55, 0.55, -0.41, 0.41, 0.5, 500.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        setCameraPositionRaw(eye[0], eye[1], eye[2]);
        glRotatef(pitch, 1.0f, 0.0f, 0.0f);
        glRotatef(yaw, 0.0f, 1.0f, 0.0f);
        glTranslatef(-eye[0], -eye[1], -eye[2]);
        extractFrustum();
        glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        plantPolygons = 0;
        drawPlantSet(leafy);
        drawPlantSet(spearSet);
        drawPlantSet(mixed);
        polygons = plantPolygons;
        glFinish();
        return readFrameBuffer(viewWidth, viewHeight);
    }
};

}  // namespace

TEST_F(PlantBatch, EverySchemeDrawsThePictureAndCountOfOnePlantAtATime) {
    for (int culling = 0; culling <= 1; ++culling) {
        frustumCulling = culling;
        for (int scheme = 1; scheme <= 5; ++scheme) {
            int onePolygons = 0, batchedPolygons = 0;
            // One-at-a-time first: its display lists fix the alpha
            // references the batch must then use.
            TestImage one = frame(0, scheme, onePolygons);
            TestImage batched = frame(1, scheme, batchedPolygons);
            EXPECT_EQ(batchedPolygons, onePolygons) << "scheme " << scheme << ", culling " << culling;
            EXPECT_GT(onePolygons, 100) << "the view shows plants";
            double differing = compareImages(one, batched, 8, nullptr);
            EXPECT_LE(differing, 0.002) << "scheme " << scheme << ", culling " << culling;
            if (differing > 0.002) {  // kept for a person to look at
                std::string folder = std::string(MORVISTA_BINARY_DIR) + "/test-output/";
                std::filesystem::create_directories(folder);
                writePpm(folder + "plant-batch-one-" + std::to_string(scheme) + ".ppm", one);
                writePpm(folder + "plant-batch-batched-" + std::to_string(scheme) + ".ppm", batched);
            }
        }
    }
    EXPECT_EQ(plantInstanceMode, false) << "the walk leaves the modelview mode as it found it";
}

// Every model the culling lets through, in order, with what it was drawn
// with.
struct DrawnModel {
    const ObjectList* model;
    float alpha, cullScale, angle, colour[3];
    bool operator==(const DrawnModel& o) const {
        return model == o.model && alpha == o.alpha && cullScale == o.cullScale && angle == o.angle &&
               colour[0] == o.colour[0] && colour[1] == o.colour[1] && colour[2] == o.colour[2];
    }
};
std::vector<DrawnModel> drawnModels;

void recordDrawnModel(const ObjectList& model, float alpha, float cullScale, float angle) {
    drawnModels.push_back({&model, alpha, cullScale, angle, {plantColour[0], plantColour[1], plantColour[2]}});
}

TEST_F(PlantBatch, KeptPlantsDrawWhatTheWalkDrawsOverAFlight) {
    // A flight over, through and off the edge of the plants, with the
    // placement inputs changed on the way: the kept plants must give the
    // walk's pictures, models in order, polygon counts, and leave plantColour
    // and the random generator as the walk does.
    struct View {
        float eye[3], yaw, pitch;
    };
    const View flight[] = {{{30, 14, 62}, -25, 18}, {{5, 3, 5}, 135, 10},   {{32, 2, 32}, 0, 5},
                           {{60, 8, 10}, -90, 20},  {{64, 4, 64}, -45, 2},  {{-20, 30, 30}, 90, 35},
                           {{32, 60, 32}, 10, 89},  {{40, 3, 20}, 200, -5}, {{10, 5, 60}, 180, 0}};
    plantDrawHook = recordDrawnModel;
    int frames = 0;
    for (int step = 0; step < 4; ++step) {
        // What each step changes for the frames after it; the kept plants
        // must follow.
        if (step == 1) setSpacing(leafy, 2.0f);
        if (step == 2) plantLighting = 0;
        if (step == 3) {
            plantLighting = 1;
            // New lightmap bytes, most likely at the old address.
            lightmapGrid.release();
            ASSERT_TRUE(lightmapGrid.load(grid("light2.raw", [](int x, int z) { return 40 + (x * 3 + z * 11) % 200; }).c_str(),
                                          mapSide));
        }
        for (const View& v : flight) {
            for (int culling = 0; culling <= 1; ++culling) {
                frustumCulling = culling;
                for (int scheme = 1; scheme <= 5; ++scheme) {
                    for (int batching = 0; batching <= 1; ++batching) {
                        int polygons[2] = {0, 0};
                        std::vector<DrawnModel> drawn[2];
                        TestImage picture[2];
                        float colour[2][3];
                        uint32_t state[2];
                        for (int cache = 0; cache <= 1; ++cache) {
                            plantPlacementCache = cache;
                            drawnModels.clear();
                            picture[cache] = frameFrom(v.eye, v.yaw, v.pitch, batching, scheme, polygons[cache]);
                            drawn[cache] = drawnModels;
                            for (int c = 0; c < 3; ++c) colour[cache][c] = plantColour[c];
                            state[cache] = randomState();
                        }
                        SCOPED_TRACE(testing::Message() << "step " << step << ", view at " << v.eye[0] << " "
                                                        << v.eye[2] << ", culling " << culling << ", scheme "
                                                        << scheme << ", batching " << batching);
                        EXPECT_EQ(polygons[1], polygons[0]);
                        EXPECT_TRUE(drawn[1] == drawn[0]) << drawn[1].size() << " models against " << drawn[0].size();
                        EXPECT_EQ(compareImages(picture[0], picture[1], 0, nullptr), 0.0);
                        EXPECT_EQ(colour[1][0], colour[0][0]);
                        EXPECT_EQ(state[1], state[0]);
                        ++frames;
                    }
                }
            }
        }
    }
    plantDrawHook = nullptr;
    plantPlacementCache = 1;
    plantLighting = 1;
    EXPECT_EQ(frames, 4 * 9 * 2 * 5 * 2);
}

TEST_F(PlantBatch, KeptPlantsHoldTheWholeWalkInOrderUntilInvalidated) {
    std::vector<float> walked;
    static std::vector<float>* sink = nullptr;
    sink = &walked;
    placePlants(leafy, [](const PlantSet&, float x, float, float z, float, float) {
        sink->push_back(x);
        sink->push_back(z);
    });
    const PlacedPlants& placed = placedPlants(leafy);
    ASSERT_EQ(placed.plants.size() * 2, walked.size());
    for (size_t i = 0; i < placed.plants.size(); ++i) {
        EXPECT_EQ(placed.plants[i].x, walked[2 * i]);
        EXPECT_EQ(placed.plants[i].z, walked[2 * i + 1]);
    }
    size_t covered = 0;
    for (size_t r = 0; r < placed.runs.size(); ++r) {
        EXPECT_EQ(placed.runs[r].first, covered) << "runs follow one another in walk order";
        covered += placed.runs[r].count;
    }
    EXPECT_EQ(covered, placed.plants.size());
    std::shared_ptr<const PlacedPlants> before = leafy.placed;
    placedPlants(leafy);
    EXPECT_EQ(leafy.placed, before) << "nothing changed: the same kept plants";
    invalidatePlantPlacement();
    placedPlants(leafy);
    EXPECT_NE(leafy.placed, before) << "invalidated: walked again";
}

TEST_F(PlantBatch, FirstOpaqueDrawFixesTheAlphaReferenceOnEitherPath) {
    // Drawn batched first, the model keeps the reference then in force (its
    // own 0.3) even though later models change alphaReference.
    int polygons = 0;
    TestImage first = frame(1, 1, polygons);
    alphaReference = 0.9f;
    TestImage again = frame(1, 1, polygons);
    EXPECT_LE(compareImages(first, again, 0, nullptr), 0.0);
    const Object& object = leafy.fullModel->objects[0];
    EXPECT_EQ(object.alphaFixed, 1);
    EXPECT_FLOAT_EQ(object.drawnAlphaReference, 0.3f);
    // The one-at-a-time path, compiling its lists now, gives the same picture.
    TestImage one = frame(0, 1, polygons);
    EXPECT_LE(compareImages(first, one, 8, nullptr), 0.002);
}

TEST_F(PlantBatch, InstanceMatrixMatchesTheMatrixCallsOfOnePlant) {
    ObjectList& model = *leafy.fullModel;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(3.0f, -2.0f, 7.5f);
    glScalef(1.7f, 1.7f, 1.7f);
    glRotatef(123.0f, 0.0f, 1.0f, 0.0f);
    glScalef(model.scale[0], model.scale[1], model.scale[2]);
    glRotatef(model.rotation[0], model.rotation[1], model.rotation[2], model.rotation[3]);
    GLfloat expected[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, expected);
    glLoadIdentity();
    multiplyInstanceMatrix(makeInstanceMatrix(&model, 3.0f, -2.0f, 7.5f, 1.7f, 123.0f));
    GLfloat actual[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, actual);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5f) << "element " << i;
}
