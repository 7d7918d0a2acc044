// TerrainFrameTest.cpp -- the brute-force renderer and the per-frame terrain
// driver: counts, passes, extents and the GL state left behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "scene/sceneConfig.h"
#include "terrain/bruteForce.h"
#include "terrain/geomipmapAlgorithm.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainTestSupport.h"
#include "vegetation/plantSet.h"

namespace {

// A top-down orthographic view of the whole 129 map, with its frustum.
void viewWholeMapFromAbove() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 129, -1, 129, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, -128.0f);  // world z 0-128 onto view y 128-0
    setFrustumFromGl();
}

void hillMap(Cheightmap& map) {
    fillMap(map, 129, [](int x, int z) { return (x * 7 + z * 3) % 200; });
}

}  // namespace

TEST(BruteForce, DrawsEveryCellAsUpwardFacingStrips) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    Cheightmap map;
    hillMap(map);
    for (int multiTex : {0, 1}) {
        std::vector<GridPoint> points = captureFanVertices([&] { drawBruteForce(map, multiTex, 10.0f); });
        EXPECT_EQ(map.triangleCount, 32768) << "128 strips of 256 triangles";
        EXPECT_EQ(map.vertexCount, 128 * 129 * 2);
        ASSERT_EQ(points.size(), 3u * 32768u) << "all triangles face up (counter-clockwise from above)";
        // Unit 0 gets x / size and z / size, times the repeat with two sets.
        const float repeat = multiTex ? 10.0f : 1.0f;
        float largestS = 0.0f;
        for (const GridPoint& p : points) {
            ASSERT_NEAR(p.s, repeat * p.x / 129.0f, 1e-4f) << "multiTex " << multiTex << " at " << p.x << "," << p.z;
            ASSERT_NEAR(p.t, repeat * p.z / 129.0f, 1e-4f) << "multiTex " << multiTex << " at " << p.x << "," << p.z;
            largestS = std::max(largestS, p.s);
        }
        EXPECT_NEAR(largestS, repeat * 128.0f / 129.0f, 1e-4f) << "the far edge stops short of 1";
    }

    Cheightmap tiny;
    fillMap(tiny, 2, [](int, int) { return 0; });
    drawBruteForce(tiny, 0, 1.0f);
    EXPECT_EQ(tiny.triangleCount, 2);

    Cheightmap empty;  // a height file that failed to load
    empty.triangleCount = 99;
    drawBruteForce(empty, 1, 10.0f);
    EXPECT_EQ(empty.triangleCount, 0);
    EXPECT_EQ(empty.vertexCount, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(BruteForce, ExtentCoversTheWholeGridIncludingRowZero) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    Cheightmap map;
    // The highest sample (240 -> 60.0) lies in row 0.
    fillMap(map, 129, [](int x, int z) { return (z == 0 && x == 40) ? 240 : 100; });
    drawBruteForce(map, 0, 1.0f);
    EXPECT_FLOAT_EQ(bruteExtent[0], 128.0f);
    EXPECT_FLOAT_EQ(bruteExtent[1], 60.0f);
    EXPECT_FLOAT_EQ(bruteExtent[2], 128.0f);
}

TEST(TerrainFrame, CountsTrianglesOfEveryPassAndAlgorithm) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    hillMap(bruteTerrain);
    hillMap(geomipTerrain);
    ASSERT_TRUE(geomipTerrain.setupPatches(16));
    geomipTerrain.multiTextureDistance = 40.0f;
    viewWholeMapFromAbove();
    setCameraPositionRaw(64.0f, 2000.0f, 64.0f);  // every geomipmapping patch at level 3
    showPlants = 0;
    showGrass = 0;
    anonymousMode = 1;

    const struct {
        const char* name;
        int algorithm, terrain, splatting, lightmap;
        int triangles;
    } cases[] = {
        {"brute force", terrainBruteForce, 1, 0, 0, 32768},
        {"brute force, lightmap", terrainBruteForce, 1, 0, 1, 65536},
        {"brute force, splatting", terrainBruteForce, 1, 1, 0, 65536},
        {"brute force, splatting and lightmap", terrainBruteForce, 1, 1, 1, 98304},
        {"quad-tree draws nothing", terrainQuadTree, 1, 1, 1, 0},
        {"terrain off", terrainBruteForce, 0, 1, 1, 0},
        {"geomipmapping, 64 single fans", terrainGeomipmap, 1, 0, 1, 64 * 8},
        {"geomipmapping, far patches: base + lightmap", terrainGeomipmap, 1, 1, 1, 64 * 8 * 2},
    };
    for (const auto& c : cases) {
        terrainAlgorithm = c.algorithm;
        showTerrain = c.terrain;
        splattingEnabled = c.splatting;
        lightmapEnabled = c.lightmap;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        EXPECT_EQ(renderTerrainFrame(), c.triangles) << c.name;
    }

    bruteTerrain.release();  // a missing height file: size 0
    terrainAlgorithm = terrainBruteForce;
    showTerrain = 1;
    EXPECT_EQ(renderTerrainFrame(), 0) << "an empty terrain draws nothing";

    anonymousMode = 0;
    showTerrain = 1;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(TerrainFrame, LeavesBothUnitsUnboundAndRestoresWhatThePassesChange) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    hillMap(bruteTerrain);
    hillMap(geomipTerrain);
    ASSERT_TRUE(geomipTerrain.setupPatches(16));
    geomipTerrain.multiTextureDistance = 40.0f;
    viewWholeMapFromAbove();
    setCameraPositionRaw(20.0f, 30.0f, 20.0f);  // near patches splatted, some faded, far ones base
    baseTexture = makeTestTexture(2, 2, true, [](int, int, uint8_t* rgb) { rgb[0] = rgb[1] = rgb[2] = 200; });
    detailTexture1 = detailTexture2 = coverageTexture1 = coverageTexture2 = lightmapTexture = baseTexture;
    showPlants = 0;
    showGrass = 0;
    anonymousMode = 1;
    splattingEnabled = 1;
    lightmapEnabled = 1;
    showTerrain = 1;

    for (int algorithm : {terrainBruteForce, terrainGeomipmap}) {
        SCOPED_TRACE(algorithm);
        // State a frame could arrive with.
        glDisable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glColor4f(0.5f, 0.25f, 1.0f, 1.0f);
        glActiveTextureARB_(GL_TEXTURE0_ARB);
        terrainAlgorithm = algorithm;
        EXPECT_GT(renderTerrainFrame(), 0);

        GLint active = 0, bound0 = -1, bound1 = -1, frontFace = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
        glActiveTextureARB_(GL_TEXTURE1_ARB);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound1);
        const bool unit1Textured = glIsEnabled(GL_TEXTURE_2D);
        glActiveTextureARB_(GL_TEXTURE0_ARB);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound0);
        glGetIntegerv(GL_FRONT_FACE, &frontFace);
        float colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);

        EXPECT_EQ(active, GL_TEXTURE0_ARB) << "unit 0 is left active";
        EXPECT_EQ(bound0, 0);
        EXPECT_EQ(bound1, 0);
        EXPECT_FALSE(unit1Textured) << "unit 1 texturing is switched back off";
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
        EXPECT_EQ(frontFace, GL_CW);
        EXPECT_FLOAT_EQ(colour[0], 0.5f);
        EXPECT_FLOAT_EQ(colour[1], 0.25f);
        EXPECT_FLOAT_EQ(colour[2], 1.0f);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    glFrontFace(GL_CCW);
    glColor4f(1, 1, 1, 1);
    GLuint texture = baseTexture;
    glDeleteTextures(1, &texture);
    baseTexture = detailTexture1 = detailTexture2 = coverageTexture1 = coverageTexture2 = lightmapTexture = 0;
    anonymousMode = 0;
}
