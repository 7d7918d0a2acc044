// GeomipmapTest.cpp -- patch set-up, levels, visibility, crack-free borders
// and the texturing passes of the geomipmapping terrain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "scene/sceneConfig.h"
#include "terrain/geomipmap.h"
#include "terrain/terrainTestSupport.h"
#include "util/output.h"

namespace {

std::string capturedOutput;
void captureOutput(const char* text, size_t length) { capturedOutput.append(text, length); }

// A 129 map (8 x 8 patches of 16) with the scene's scales and patch size.
void setupFlatTerrain(Cgeomipmap& terrain, int sample = 0) {
    fillMap(terrain, 129, [sample](int, int) { return sample; });
    ASSERT_TRUE(terrain.setupPatches(16));
    terrain.multiTextureDistance = 40.0f;
}

void setAllLevels(Cgeomipmap& terrain, int level) {
    for (int i = 0; i < terrain.patchesPerSide * terrain.patchesPerSide; ++i) terrain.patches[i].level = level;
}

}  // namespace

TEST(GeomipSetup, BuildsPatchesAndScansTheirHeightRange) {
    Cgeomipmap terrain;
    EXPECT_FALSE(terrain.setupPatches(16)) << "an empty terrain has no patches";

    // Patch (0, 0) starts with a falling run (200, then 10, then 20s): the
    // highest sample comes first. 255 at x = 16 belongs to patch (1, 0), and
    // 255 on the last column x = 128 to no patch scan.
    fillMap(terrain, 129, [](int x, int z) {
        if (x == 0 && z == 0) return 200;
        if (x == 1 && z == 0) return 10;
        if (x == 16 && z == 3) return 255;
        if (x == 128 && z == 5) return 255;
        return 20;
    });
    capturedOutput.clear();
    setOutputHook(captureOutput);
    const bool ok = terrain.setupPatches(16);
    setOutputHook(nullptr);
    ASSERT_TRUE(ok);
    EXPECT_EQ(terrain.patchSize, 16);
    EXPECT_EQ(terrain.patchesPerSide, 8);
    EXPECT_EQ(terrain.maxLevel, 3);
    EXPECT_EQ(terrain.patchIndex(3, 2), 2 * 8 + 3);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(terrain.patches[i].level, 3) << "patch " << i << " starts at the coarsest level";
        EXPECT_EQ(terrain.patches[i].visible, 1);
    }
    const GeomipPatch& first = terrain.patches[terrain.patchIndex(0, 0)];
    EXPECT_FLOAT_EQ(first.maxY, 50.0f) << "200 x 0.25: the first sample is the highest";
    EXPECT_FLOAT_EQ(first.minY, 2.5f);
    EXPECT_FLOAT_EQ(terrain.patches[terrain.patchIndex(1, 0)].maxY, 63.75f);
    EXPECT_FLOAT_EQ(terrain.patches[terrain.patchIndex(7, 0)].maxY, 5.0f) << "column 128 is not scanned";
    EXPECT_EQ(capturedOutput.rfind("patchesperside 8\nmaxy 50.000000 miny 2.500000\nmaxy 63.750000 miny 5.000000\n", 0),
              0u)
        << capturedOutput.substr(0, 200);
    size_t lines = std::count(capturedOutput.begin(), capturedOutput.end(), '\n');
    EXPECT_EQ(lines, 1u + 64u);

    // Sizes that cannot tile the map leave no patches.
    for (int bad : {0, 1, 3, 12, 256}) {
        EXPECT_FALSE(terrain.setupPatches(bad)) << "patch size " << bad;
        EXPECT_EQ(terrain.patches, nullptr);
        EXPECT_EQ(terrain.patchesPerSide, 0);
    }
    terrain.releasePatches();
    EXPECT_EQ(terrain.patchSize, 0);
}

TEST(GeomipLevels, FollowDistanceWithInclusiveUpperBoundaries) {
    Cgeomipmap terrain;
    setupFlatTerrain(terrain);
    setOpenFrustum();
    // Flat ground at 0: the camera straight above patch (0, 0)'s centre
    // (8, 0, 8) is exactly its height away from it.
    const struct {
        float cameraHeight;
        int level;
    } cases[] = {{19.5f, 0}, {20.0f, 1}, {59.5f, 1}, {60.0f, 2}, {99.5f, 2}, {100.0f, 3}, {250.0f, 3}};
    for (const auto& c : cases) {
        setCameraPositionRaw(8.0f, c.cameraHeight, 8.0f);
        terrain.updatePatches();
        const GeomipPatch& patch = terrain.patches[terrain.patchIndex(0, 0)];
        EXPECT_EQ(patch.visible, 1);
        EXPECT_NEAR(patch.distance, c.cameraHeight, 1e-4f) << "distance to the patch centre";
        EXPECT_EQ(patch.level, c.level) << "camera height " << c.cameraHeight;
    }
}

TEST(GeomipLevels, InvisiblePatchesKeepTheirLevelAndTheBoxIsTwiceThePatch) {
    Cgeomipmap terrain;
    setupFlatTerrain(terrain);
    // Only plane 0 cuts: visible where x < 45.
    setOpenFrustum();
    float(*planes)[4] = getCamera()->frustum;
    planes[0][0] = -1.0f;
    planes[0][3] = 45.0f;
    if (boxInFrustum(1000.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f))
        GTEST_SKIP() << "boxInFrustum accepts every box in this build: the frustum tests are not in yet";

    setAllLevels(terrain, 2);
    for (int i = 0; i < 64; ++i) terrain.patches[i].distance = 77.0f;
    setCameraPositionRaw(8.0f, 5.0f, 8.0f);
    terrain.updatePatches();
    for (int pz = 0; pz < 8; ++pz) {
        for (int px = 0; px < 8; ++px) {
            const GeomipPatch& patch = terrain.patches[terrain.patchIndex(px, pz)];
            // Patch 3 spans x 48-64; only a box of twice its size (40-72) reaches x < 45.
            EXPECT_EQ(patch.visible, px <= 3 ? 1 : 0) << "patch " << px << "," << pz;
            if (!patch.visible) {
                EXPECT_EQ(patch.level, 2) << "an unseen patch keeps its level";
                EXPECT_EQ(patch.distance, 77.0f) << "and its distance";
            }
        }
    }
    EXPECT_EQ(terrain.patches[terrain.patchIndex(0, 0)].level, 0);
}

TEST(GeomipLevels, NeighboursNeverDifferByMoreThanOneLevel) {
    // A plateau of 255 over patch (1, 0) next to flat ground at 0: with the
    // camera 5 above patch (0, 0) the plateau centre is 60.9 away, level 2
    // by distance, two steps coarser than patch (0, 0).
    Cgeomipmap terrain;
    fillMap(terrain, 129, [](int x, int z) { return (x >= 16 && x < 32 && z < 16) ? 255 : 0; });
    ASSERT_TRUE(terrain.setupPatches(16));
    setOpenFrustum();
    setCameraPositionRaw(8.0f, 5.0f, 8.0f);
    terrain.updatePatches();
    EXPECT_GT(terrain.patches[terrain.patchIndex(1, 0)].distance, 60.0f);
    EXPECT_EQ(terrain.patches[terrain.patchIndex(0, 0)].level, 0);
    EXPECT_EQ(terrain.patches[terrain.patchIndex(1, 0)].level, 1) << "refined to close the border";
    for (int pz = 0; pz < 8; ++pz)
        for (int px = 0; px < 8; ++px) {
            const int level = terrain.patches[terrain.patchIndex(px, pz)].level;
            if (px < 7) {
                EXPECT_LE(std::abs(level - terrain.patches[terrain.patchIndex(px + 1, pz)].level), 1);
            }
            if (pz < 7) {
                EXPECT_LE(std::abs(level - terrain.patches[terrain.patchIndex(px, pz + 1)].level), 1);
            }
        }
}

TEST(GeomipPatch, BorderFansDropMidEdgeVerticesOnlyAgainstCoarserNeighbours) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    Cgeomipmap terrain;
    setupFlatTerrain(terrain);
    splattingEnabled = 0;

    constexpr int same = -1;
    // Border point counts: a side of a level-L patch has 16 / 2^L + 1 points
    // with its mid-edge vertices and 16 / 2^(L+1) + 1 without.
    const struct {
        const char* name;
        int px, pz, level, others;
        int west, north, east, south;  // neighbour levels (same: as the others)
        int triangles;
        int westPoints, northPoints, eastPoints, southPoints;
    } cases[] = {
        {"level 3 is one fan", 3, 3, 3, 3, same, same, same, same, 8, 3, 3, 3, 3},
        {"level 0, coarser west neighbour", 3, 3, 0, 0, 1, same, same, same, 504, 9, 17, 17, 17},
        {"level 2 among level 3", 4, 4, 2, 3, same, same, same, same, 24, 3, 3, 3, 3},
        {"finer neighbour changes nothing", 3, 3, 1, 1, 0, same, same, same, 128, 9, 9, 9, 9},
        {"outer corner (0,0) keeps its outer sides", 0, 0, 0, 3, same, same, same, same, 496, 17, 9, 9, 17},
        {"outer corner (7,7) keeps its outer sides", 7, 7, 0, 3, same, same, same, same, 496, 9, 17, 17, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setAllLevels(terrain, c.others);
        terrain.patches[terrain.patchIndex(c.px, c.pz)].level = c.level;
        const int neighbour[4][3] = {{c.px - 1, c.pz, c.west}, {c.px, c.pz + 1, c.north},
                                     {c.px + 1, c.pz, c.east}, {c.px, c.pz - 1, c.south}};
        for (const auto& n : neighbour)
            if (n[2] != same) terrain.patches[terrain.patchIndex(n[0], n[1])].level = n[2];

        terrain.triangleCount = 0;
        terrain.vertexCount = 0;
        std::vector<GridPoint> points = captureFanVertices([&] { terrain.drawPatch(c.px, c.pz); });
        EXPECT_EQ(terrain.triangleCount, c.triangles);
        EXPECT_EQ(static_cast<int>(points.size()), 3 * c.triangles) << "every triangle faces up";

        const int x0 = c.px * 16, z0 = c.pz * 16;
        std::set<GridPoint> west, north, east, south;
        for (const GridPoint& p : points) {
            EXPECT_TRUE(p.x >= x0 && p.x <= x0 + 16 && p.z >= z0 && p.z <= z0 + 16) << p.x << "," << p.z;
            EXPECT_NEAR(p.s, p.x / 129.0f, 1e-5f) << "texture coordinates are grid point / size";
            EXPECT_NEAR(p.t, p.z / 129.0f, 1e-5f);
            if (p.x == x0) west.insert(p);
            if (p.z == z0 + 16) north.insert(p);
            if (p.x == x0 + 16) east.insert(p);
            if (p.z == z0) south.insert(p);
        }
        EXPECT_EQ(static_cast<int>(west.size()), c.westPoints);
        EXPECT_EQ(static_cast<int>(north.size()), c.northPoints);
        EXPECT_EQ(static_cast<int>(east.size()), c.eastPoints);
        EXPECT_EQ(static_cast<int>(south.size()), c.southPoints);
    }
}

TEST(GeomipPatch, PassesFollowSplattingLightingAndDistance) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    Cgeomipmap terrain;
    setupFlatTerrain(terrain);
    setAllLevels(terrain, 3);  // one fan of 8 triangles per pass
    // multiTextureDistance 40: splatted while any vertex is nearer than 60,
    // the base texture faded in where any vertex is beyond 40, alone when
    // the whole patch is beyond 60. Distances are the patch's nearest and
    // farthest points.
    const struct {
        int splatting, lightmap;
        float nearest, farthest;
        int passes;
    } cases[] = {
        {0, 0, 10.0f, 30.0f, 1}, {0, 1, 10.0f, 30.0f, 1},  // unsplatted: base only, never a lightmap pass
        {1, 0, 10.0f, 30.0f, 2}, {1, 1, 10.0f, 30.0f, 3},  // two splatting passes (+ lightmap)
        {1, 0, 25.0f, 40.0f, 2},                           // reaching 40: the fade would add nothing
        {1, 0, 30.0f, 40.5f, 3},                           // beyond 40: splatting + fade
        {1, 1, 45.0f, 55.0f, 4}, {1, 0, 59.9f, 75.0f, 3},  // splatting + fade (+ lightmap)
        {1, 0, 60.0f, 75.0f, 1}, {1, 1, 60.0f, 75.0f, 2},  // base alone (+ lightmap)
    };
    for (const auto& c : cases) {
        splattingEnabled = c.splatting;
        lightmapEnabled = c.lightmap;
        GeomipPatch& patch = terrain.patches[terrain.patchIndex(2, 2)];
        patch.nearDistance = c.nearest;
        patch.farDistance = c.farthest;
        terrain.triangleCount = 0;
        terrain.drawPatch(2, 2);
        EXPECT_EQ(terrain.triangleCount, 8 * c.passes) << "splatting " << c.splatting << " lightmap " << c.lightmap
                                                        << " distances " << c.nearest << "-" << c.farthest;
    }

    // Both splatting passes send unit 0 the coordinates times the detail repeat 10.
    splattingEnabled = 1;
    lightmapEnabled = 0;
    terrain.patches[terrain.patchIndex(2, 2)].nearDistance = 10.0f;
    terrain.patches[terrain.patchIndex(2, 2)].farDistance = 30.0f;
    std::vector<GridPoint> points = captureFanVertices([&] { terrain.drawPatch(2, 2); });
    ASSERT_EQ(points.size(), 2u * 8u * 3u);
    for (const GridPoint& p : points) {
        EXPECT_NEAR(p.s, 10.0f * p.x / 129.0f, 1e-4f);
        EXPECT_NEAR(p.t, 10.0f * p.z / 129.0f, 1e-4f);
    }
    splattingEnabled = 0;
    lightmapEnabled = 1;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(GeomipRender, CountsVisiblePatchesAndTheirFans) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    Cgeomipmap terrain;
    setupFlatTerrain(terrain, 40);
    setOpenFrustum();
    splattingEnabled = 0;
    anonymousMode = 1;
    // Far above: every patch at level 3, one fan of 8 triangles and 10 vertices.
    setCameraPositionRaw(64.0f, 500.0f, 64.0f);
    terrain.renderGeomipmap();
    EXPECT_EQ(terrain.patchesDrawn, 64);
    EXPECT_EQ(terrain.triangleCount, 64 * 8);
    EXPECT_EQ(terrain.vertexCount, 64 * 10);
    EXPECT_FLOAT_EQ(geomipExtent[0], 128.0f);
    EXPECT_FLOAT_EQ(geomipExtent[1], 10.0f);
    EXPECT_FLOAT_EQ(geomipExtent[2], 128.0f);

    // Close above one corner: far fewer than brute force's 32,768, and
    // exactly the sum over the drawn patches' levels.
    setCameraPositionRaw(4.0f, 15.0f, 4.0f);
    terrain.renderGeomipmap();
    // A level-L patch has n = 8 / 2^L fans per side, 8 n^2 triangles, and
    // loses n for each side with a coarser neighbour.
    int expected = 0;
    int levelsSeen = 0;
    for (int pz = 0; pz < 8; ++pz)
        for (int px = 0; px < 8; ++px) {
            const int level = terrain.patches[terrain.patchIndex(px, pz)].level;
            levelsSeen |= 1 << level;
            const int n = 8 >> level;
            expected += 8 * n * n;
            const int neighbours[4][2] = {{px - 1, pz}, {px, pz + 1}, {px + 1, pz}, {px, pz - 1}};
            for (const auto& nb : neighbours)
                if (nb[0] >= 0 && nb[0] < 8 && nb[1] >= 0 && nb[1] < 8 &&
                    terrain.patches[terrain.patchIndex(nb[0], nb[1])].level > level)
                    expected -= n;
        }
    EXPECT_EQ(levelsSeen, 0xf) << "all four levels in view";
    EXPECT_EQ(terrain.triangleCount, expected);
    EXPECT_LT(terrain.triangleCount, 32768);
    anonymousMode = 0;
}

TEST(GeomipLevels, ErrorToleranceChoosesTheCoarsestLevelWithinThePixels) {
    // One spike of 63.75 at (33, 33) in patch (2, 2): a vertex at level 0
    // only, so levels 1-3 there leave out its whole height; flat elsewhere.
    Cgeomipmap terrain;
    fillMap(terrain, 129, [](int x, int z) { return x == 33 && z == 33 ? 255 : 0; });
    ASSERT_TRUE(terrain.setupPatches(16));
    setOpenFrustum();
    const float savedPixels = frustumPixelsPerUnit;
    frustumPixelsPerUnit = 100.0f;  // 63.75 units span 1 pixel at distance 6375
    const struct {
        float tolerance, cameraHeight;
        int spikeLevel, nextLevel, farLevel;  // patches (2, 2), (3, 2), (7, 7)
    } cases[] = {
        {0.0f, 150.0f, 3, 3, 3},   // distance bands: everything beyond 100
        {0.0f, 100.0f, 2, 3, 3},   // the spike patch's centre (at mid-height) 68 away
        {1.0f, 150.0f, 0, 1, 3},   // the spike needs level 0; neighbours step up one level at a time
        {1.0f, 7000.0f, 3, 3, 3},  // far enough for the spike to be under a pixel
        {200.0f, 100.0f, 3, 3, 3}, // a loose tolerance takes the coarsest level
    };
    for (const auto& c : cases) {
        terrainErrorTolerance = c.tolerance;
        setCameraPositionRaw(40.0f, c.cameraHeight, 40.0f);
        terrain.updatePatches();
        SCOPED_TRACE(testing::Message() << "tolerance " << c.tolerance << " camera height " << c.cameraHeight);
        EXPECT_EQ(terrain.patches[terrain.patchIndex(2, 2)].level, c.spikeLevel);
        EXPECT_EQ(terrain.patches[terrain.patchIndex(3, 2)].level, c.nextLevel);
        EXPECT_EQ(terrain.patches[terrain.patchIndex(7, 7)].level, c.farLevel);
        EXPECT_NEAR(terrain.patches[terrain.patchIndex(2, 2)].nearDistance, c.cameraHeight - 63.75f, 1e-3f)
            << "the nearest point of the patch's box is the spike's height above the camera's foot";
    }
    terrainErrorTolerance = 0.0f;
    frustumPixelsPerUnit = savedPixels;
}

TEST(GeomipPatch, UniformTexturingDrawsBruteForcePassesAtEveryDistance) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    Cgeomipmap terrain;
    setupFlatTerrain(terrain);
    setAllLevels(terrain, 3);  // one fan of 8 triangles per pass
    const struct {
        int splatting, lightmap;
        float nearest;
        int passes;
    } cases[] = {
        {1, 1, 10.0f, 3}, {1, 1, 50.0f, 3}, {1, 1, 200.0f, 3},  // splatting + lightmap, no fade
        {1, 0, 200.0f, 2},                                      // splatting alone
        {0, 1, 200.0f, 2},                                      // base + lightmap, as brute force
        {0, 0, 10.0f, 1},
    };
    uniformTexturing = 1;
    for (const auto& c : cases) {
        splattingEnabled = c.splatting;
        lightmapEnabled = c.lightmap;
        GeomipPatch& patch = terrain.patches[terrain.patchIndex(2, 2)];
        patch.nearDistance = c.nearest;
        patch.farDistance = c.nearest + 20.0f;
        terrain.triangleCount = 0;
        terrain.drawPatch(2, 2);
        EXPECT_EQ(terrain.triangleCount, 8 * c.passes)
            << "splatting " << c.splatting << " lightmap " << c.lightmap << " nearest " << c.nearest;
    }
    uniformTexturing = 0;
    splattingEnabled = 0;
    lightmapEnabled = 1;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
