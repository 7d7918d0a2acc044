// ScenePlantsTest.cpp -- the scene's plant models and sets, read from a
// folder of small stand-in model files, and the order they are drawn in.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "image/textureRegistry.h"
#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "support/glTestContext.h"
#include "vegetation/modelDraw.h"
#include "vegetation/modelLoader.h"
#include "vegetation/plantDetail.h"
#include "vegetation/scenePlants.h"

namespace {

const char* const modelFiles[] = {"fern.xml",   "towergrass.xml", "grasscross.xml", "grassbill.xml",
                                  "broad01.xml", "broad16.xml",    "palm01.xml",     "bboy.xml",
                                  "spear.xml",   "flower8.xml",    "flower6.xml"};

// textureBrighten in force at each texture's first request.
std::map<std::string, int> brightenAtFirstRequest;

unsigned recordingTexture(const char* fileName) {
    brightenAtFirstRequest.emplace(fileName, textureBrighten);
    return 51 + static_cast<unsigned>(brightenAtFirstRequest.size());
}

std::vector<const ObjectList*> drawnModels;
void recordModel(const ObjectList& model, float, float, float) {
    if (drawnModels.empty() || drawnModels.back() != &model) drawnModels.push_back(&model);
}

class ScenePlants : public ::testing::Test {
protected:
    static std::string directory;
    static char previousDirectory[PATH_MAX];

    static void SetUpTestSuite() {
        char pattern[] = "/tmp/morvista-scene-plants-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        // Each model is one textured triangle with a texture named after it.
        for (const char* file : modelFiles) {
            std::string texture = std::string(file, strlen(file) - 4) + ".tga";
            std::ofstream(directory + "/" + file)
                << "<ObjectList numObject=\"1\">\n<Object numPolygon=\"1\">\n"
                << "<Polygon numVertex=\"3\" isTextured=\"1\" texture=\"" << texture << "\">\n"
                << "<Vertex point=\"0 0 0\"/>\n<Vertex point=\"1 0 0\"/>\n<Vertex point=\"0 1 0\"/>\n"
                << "</Polygon>\n</Object>\n</ObjectList>\n";
        }
        heightmapSize = 129;
        std::ofstream(directory + "/grassdist2.raw", std::ios::binary) << std::string(129 * 129, '\xff');
        ASSERT_NE(getcwd(previousDirectory, sizeof previousDirectory), nullptr);
        ASSERT_EQ(chdir(directory.c_str()), 0);
        modelTextureSource = recordingTexture;
        loadScenePlants();
        modelTextureSource = getTexture;
    }

    static void TearDownTestSuite() {
        if (chdir(previousDirectory) != 0) return;
        std::string command = "rm -rf '" + directory + "'";
        (void)!system(command.c_str());
    }
};
std::string ScenePlants::directory;
char ScenePlants::previousDirectory[PATH_MAX];

}  // namespace

TEST_F(ScenePlants, Broad16IsForcedToAlphaReferencePointThree) {
    EXPECT_EQ(scenePlantModels.broad16.hasAlpha, 1);
    EXPECT_FLOAT_EQ(scenePlantModels.broad16.alpha, 0.3f);
    EXPECT_EQ(scenePlantModels.broad01.hasAlpha, 0);
    EXPECT_FLOAT_EQ(plantColour[0], 200.0f) << "plants start in grey 200";
}

TEST_F(ScenePlants, TexturesAreBrightenedByTheFlagOfTheirFirstRead) {
    const std::map<std::string, int> expected = {
        {"fern.tga", 1},   {"towergrass.tga", 1}, {"grasscross.tga", 1}, {"grassbill.tga", 1},
        {"broad01.tga", 0}, {"broad16.tga", 0},   {"palm01.tga", 0},     {"bboy.tga", 0},
        {"spear.tga", 1},  {"flower8.tga", 0},    {"flower6.tga", 1},
    };
    EXPECT_EQ(brightenAtFirstRequest, expected);
    EXPECT_EQ(textureBrighten, 0);
}

TEST_F(ScenePlants, SetsCarryTheSceneValues) {
    const ScenePlantModels& m = scenePlantModels;
    struct Row {
        const char* name;
        const PlantSet* set;
        const ObjectList* full;
        const ObjectList* billboard;
        const ObjectList* cross;
        float spacing, baseScale, jitterMin, jitterMax, scaleMin, scaleMax;
        int hasSeed;
        float keep;  // 0: no keep probability
    };
    const ScenePlantSets& s = scenePlantSets;
    const Row rows[] = {
        {"fern", s.fern, &m.fern, nullptr, nullptr, 10, 1, -5, 5, -0.5f, 0.5f, 0, 0},
        {"grass", s.grass, &m.towergrass, &m.grassbill, &m.grasscross, 6, 1, 0, 0, -0.5f, 2.0f, 1, 0},
        {"bboy", s.bboy, &m.bboy, nullptr, nullptr, 15, 1, -10, 10, 1, 4, 1, 0},
        {"spear", s.spear, nullptr, &m.spear, nullptr, 15, 1, -10, 10, 1, 4, 1, 0.25f},
        {"broad16", s.broad16, &m.broad16, nullptr, nullptr, 20, 1, -5, 5, -0.5f, 1.0f, 0, 0},
        {"broad01", s.broad01, &m.broad01, nullptr, nullptr, 35, 1, -8, 8, 0, 1.5f, 0, 0},
        {"flower8", s.flower8, &m.flower8, nullptr, nullptr, 20, 3, -8, 8, 0, 1.5f, 0, 0},
        {"flower6", s.flower6, &m.flower6, nullptr, nullptr, 30, 3, -5, 5, 0, 1.5f, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_NE(r.set, nullptr);
        const PlantSet& set = *r.set;
        EXPECT_EQ(set.hasFullModel ? set.fullModel : nullptr, r.full);
        EXPECT_EQ(set.hasBillboard ? set.billboardModel : nullptr, r.billboard);
        EXPECT_EQ(set.hasCross ? set.crossModel : nullptr, r.cross);
        EXPECT_FLOAT_EQ(set.spacing, r.spacing);
        EXPECT_FLOAT_EQ(set.baseScale, r.baseScale);
        EXPECT_FLOAT_EQ(set.jitterMin, r.jitterMin);
        EXPECT_FLOAT_EQ(set.jitterMax, r.jitterMax);
        EXPECT_FLOAT_EQ(set.scaleJitterMin, r.scaleMin);
        EXPECT_FLOAT_EQ(set.scaleJitterMax, r.scaleMax);
        EXPECT_FLOAT_EQ(set.rotationMax, 360.0f);
        EXPECT_EQ(set.hasSeed, r.hasSeed);
        EXPECT_FLOAT_EQ(set.seed, 0.0f);
        EXPECT_EQ(set.hasKeepProbability, r.keep > 0.0f ? 1 : 0);
        if (r.keep > 0.0f) {
            EXPECT_FLOAT_EQ(set.keepProbability, r.keep);
        }
        EXPECT_EQ(set.hasDistributionMap, 1);
        EXPECT_EQ(set.distributionMap.size, 129);
    }
}

TEST_F(ScenePlants, SetsAreDrawnInTheirOrderWithGrassLast) {
    if (!makeTestGlContext(32, 32)) GTEST_SKIP() << "no offscreen OpenGL context";
    float savedMapSize = mapSize, savedMapExtent = mapExtent;
    int savedCulling = frustumCulling, savedGrass = showGrass;
    mapSize = 129.0f;
    mapExtent = 128.0f;
    frustumCulling = 0;
    plantAlgorithm = 1;
    plantDrawHook = recordModel;
    const ScenePlantModels& m = scenePlantModels;

    showGrass = 1;
    drawnModels.clear();
    plantPolygons = 12345;
    drawPlantSets();
    const std::vector<const ObjectList*> order = {&m.fern,    &m.bboy,    &m.spear,   &m.broad16,
                                                  &m.broad01, &m.flower8, &m.flower6, &m.towergrass};
    EXPECT_EQ(drawnModels, order);
    EXPECT_GT(plantPolygons, 0);
    EXPECT_LT(plantPolygons, 12345) << "the count starts from 0 each frame";

    showGrass = 0;
    drawnModels.clear();
    drawPlantSets();
    EXPECT_EQ(drawnModels, std::vector<const ObjectList*>(order.begin(), order.end() - 1));

    plantDrawHook = nullptr;
    showGrass = savedGrass;
    frustumCulling = savedCulling;
    mapSize = savedMapSize;
    mapExtent = savedMapExtent;
}
