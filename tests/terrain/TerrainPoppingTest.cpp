// TerrainPoppingTest.cpp -- the popping instrument on cases whose answer is
// known: a mesh against an unchanged copy of itself, a pair of meshes a
// known height apart, the copies' surface queries, and the frame copies
// kept only while popping is measured.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "scene/sceneConfig.h"
#include "camera/frustum.h"
#include "terrain/bruteForce.h"
#include "terrain/geomipmapAlgorithm.h"
#include "terrain/roamAlgorithm.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainError.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainPopping.h"
#include "terrain/terrainTestSupport.h"

namespace {

int bumpySample(int x, int z) {
    return static_cast<int>(120 + 60 * std::sin(x * 0.21) * std::cos(z * 0.17) + 25 * std::sin((x + 2 * z) * 0.9));
}

void makeTerrainTextures() {
    baseTexture = makeTestTexture(64, 64, true, [](int x, int y, uint8_t* rgb) {
        rgb[0] = static_cast<uint8_t>((x * 4) & 255);
        rgb[1] = static_cast<uint8_t>(((x / 4 + y / 4) % 2) ? 200 : 60);
        rgb[2] = static_cast<uint8_t>((y * 4) & 255);
    });
    lightmapTexture = makeTestTexture(16, 16, false, [](int x, int y, uint8_t* rgb) {
        rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(128 + 8 * ((x + y) % 16));
    });
}

void loadProjection(double fovy = 45.0) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
}

void drawGrid(void* context) { drawFullGridMesh(context); }

// The grid drawn every `step` samples, with a scale on the modelview as
// ROAM loads one: the copy must still come back in world positions.
struct ScaledSteppedMesh {
    const Cheightmap* grid;
    int step;
};
void drawScaledSteppedMesh(void* context) {
    const ScaledSteppedMesh& mesh = *static_cast<ScaledSteppedMesh*>(context);
    const Cheightmap& g = *mesh.grid;
    glPushMatrix();
    glScalef(g.xScale, g.heightScale, g.zScale);
    glBegin(GL_TRIANGLES);
    for (int z = 0; z + mesh.step < g.size; z += mesh.step)
        for (int x = 0; x + mesh.step < g.size; x += mesh.step) {
            const int x1 = x + mesh.step, z1 = z + mesh.step;
            auto vertex = [&](int vx, int vz) { glVertex3f(vx, g.sample(vx, vz), vz); };
            vertex(x, z), vertex(x1, z1), vertex(x1, z);
            vertex(x, z), vertex(x, z1), vertex(x1, z1);
        }
    glEnd();
    glPopMatrix();
}

}  // namespace

TEST(TerrainPopping, FeedbackCopyHoldsTheWorldTrianglesAndAnswersHeights) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    Cheightmap grid;
    fillMap(grid, 33, bumpySample);
    ScaledSteppedMesh mesh{&grid, 4};
    std::unique_ptr<TriangleMeshCopy> copy = copyMeshByFeedback(grid, drawScaledSteppedMesh, &mesh);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->triangleCount(), 8u * 8u * 2u);
    // Every corner is a grid point in world units, exactly.
    for (size_t i = 0; i < copy->corners().size(); i += 3) {
        const float x = copy->corners()[i], y = copy->corners()[i + 1], z = copy->corners()[i + 2];
        ASSERT_EQ(x, std::round(x));
        ASSERT_EQ(static_cast<int>(x) % 4, 0);
        ASSERT_EQ(y, static_cast<float>(grid.sample(static_cast<int>(x), static_cast<int>(z)) * grid.heightScale));
    }
    const struct {
        const char* where;
        double x, z;
        bool inside;
        double y;
    } cases[] = {
        {"a kept corner", 8.0, 12.0, true, grid.height(8, 12)},
        {"a dropped sample: the cell's diagonal from (4, 4) to (8, 8)", 6.0, 6.0, true,
         (grid.height(4, 4) + grid.height(8, 8)) / 2.0},
        {"an edge shared by two triangles", 10.0, 8.0, true, (grid.height(8, 8) + grid.height(12, 8)) / 2.0},
        {"beyond the mesh", 40.0, 5.0, false, 0.0},
        {"before it", -0.5, 5.0, false, 0.0},
    };
    for (const auto& c : cases) {
        double y = -1.0;
        EXPECT_EQ(copy->heightAt(c.x, c.z, 0.0, y), c.inside) << c.where;
        if (c.inside) {
            EXPECT_NEAR(y, c.y, 1e-4) << c.where;
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLint mode = 0;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    EXPECT_EQ(mode, GL_RENDER);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
}

// Brute force's own copy against the copy feedback makes of the same grid,
// and a copy against itself: the same surface, so nothing pops.
TEST(TerrainPopping, AMeshAgainstItsOwnCopyMeasuresNothing) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    fillMap(bruteTerrain, 65, bumpySample);
    loadProjection();
    setCameraAll(10.0f, 60.0f, 70.0f, 30.0f, 25.0f);
    FullGridCopy full(bruteTerrain);
    std::unique_ptr<TriangleMeshCopy> captured = copyMeshByFeedback(bruteTerrain, drawGrid, &bruteTerrain);
    ASSERT_TRUE(captured);
    EXPECT_EQ(captured->triangleCount(), full.triangleCount());
    const struct {
        const char* label;
        const TerrainMeshCopy& previous;
        const TerrainMeshCopy& current;
        double maxBelow;
    } cases[] = {
        {"brute force against itself", full, full, 0.0},
        {"the captured grid against itself", *captured, *captured, 0.0},
        // Same triangles drawn from copied positions: rounding of the
        // interpolated points only (the measure's resolution).
        {"the grid against its captured copy", full, *captured, 0.1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TerrainPoppingResult result;
        std::string why;
        ASSERT_TRUE(measureMeshPopping(bruteTerrain, c.previous, c.current, currentTerrainView(), result, why)) << why;
        EXPECT_GT(result.measuredPixels, 20000u);
        EXPECT_LE(result.max, c.maxBelow);
        EXPECT_EQ(result.share, 0.0);
        EXPECT_EQ(result.skippedPixels, 0u);
    }
}

// A flat grid at height 10 and the same grid raised by `lift` world units,
// seen straight down from `above` units over the lower one: the raised
// mesh's points are lift units from the lower surface at eye depth
// above - lift, the larger of a pixel's two distances, so every pixel pops
// lift * 128 * cot(fovy / 2) / (above - lift) pixels.
TEST(TerrainPopping, MeshesAKnownHeightApartPopTheProjectedHeight) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    fillMap(bruteTerrain, 129, [](int, int) { return 40; });  // height 10
    const struct {
        const char* label;
        int liftSamples;  // 4 samples = 1 world unit
        double fovy, above, pixels;
    } cases[] = {
        {"1 unit at depth 32, 90 degrees: 128 / 32", 4, 90.0, 33.0, 4.0},
        {"2 units at depth 16, 90 degrees: 2 * 128 / 16", 8, 90.0, 18.0, 16.0},
        {"a quarter unit at depth 63.75, 45 degrees", 1, 45.0, 64.0, 0.25 * 128.0 * 2.41421356 / 63.75},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Cheightmap lifted;
        fillMap(lifted, 129, [&](int, int) { return 40 + c.liftSamples; });
        loadProjection(c.fovy);
        setCameraAll(64.0f, static_cast<float>(10.0 + c.above), 64.0f, 0.0f, 90.0f);  // straight down
        FullGridCopy low(bruteTerrain), high(lifted);
        for (bool rising : {true, false}) {
            TerrainPoppingResult result;
            std::string why;
            ASSERT_TRUE(measureMeshPopping(bruteTerrain, rising ? static_cast<const TerrainMeshCopy&>(low) : high,
                                           rising ? static_cast<const TerrainMeshCopy&>(high) : low,
                                           currentTerrainView(), result, why))
                << why;
            EXPECT_EQ(result.measuredPixels, static_cast<size_t>(testViewSize * testViewSize));
            EXPECT_NEAR(result.p95, c.pixels, 0.01 * c.pixels);
            EXPECT_NEAR(result.max, c.pixels, 0.01 * c.pixels);
        }
    }
}

// Ground one mesh has and the other lacks (a patch culled in one frame) is
// left out rather than counted as popping.
TEST(TerrainPopping, GroundOnlyOneMeshCoversIsLeftOut) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    fillMap(bruteTerrain, 129, [](int, int) { return 40; });
    loadProjection(90.0);
    setCameraAll(64.0f, 42.0f, 64.0f, 0.0f, 90.0f);
    // The west half of the flat grid, copied as two triangles.
    const float h = 10.0f;
    TriangleMeshCopy west({0, h, 0, 0, h, 128, 64, h, 128, 0, h, 0, 64, h, 128, 64, h, 0});
    FullGridCopy full(bruteTerrain);
    TerrainPoppingResult result;
    std::string why;
    ASSERT_TRUE(measureMeshPopping(bruteTerrain, west, full, currentTerrainView(), result, why)) << why;
    const size_t all = static_cast<size_t>(testViewSize) * testViewSize;
    EXPECT_NEAR(static_cast<double>(result.measuredPixels), all / 2.0, testViewSize * 2.0);
    EXPECT_EQ(result.measuredPixels + result.skippedPixels, all);
    EXPECT_LT(result.max, 0.01);
    EXPECT_EQ(result.share, 0.0);
}

namespace {

// Geomipmapping's mesh as the last update left it, geometry only.
void drawGeomipPatches(void*) {
    const int patches = geomipTerrain.patchesDrawn;
    geomipTerrain.drawPatches();
    geomipTerrain.patchesDrawn = patches;
}

struct FlightPopping {
    double worst = 0.0;  // the largest per-frame maximum
    int switches = 0;    // frames in which some patch changed level
};

// Flies over the hills in small steps, updating geomipmapping each frame
// (patches outside the view culled), and measures each frame's mesh
// against the one before from the new camera.
FlightPopping flyGeomipmapping(float tolerance, int morph) {
    terrainErrorTolerance = tolerance;
    geomorphing = morph;
    EXPECT_TRUE(geomipTerrain.setupPatches(16)) << "every flight starts from the same levels";
    FlightPopping flight;
    std::unique_ptr<TriangleMeshCopy> previous;
    std::vector<int> levels;
    for (int frame = 0; frame <= 60; ++frame) {
        // Half a unit a frame, 60 units up, looking 30 degrees down.
        setCameraAll(10.0f + 0.5f * frame, 60.0f, 10.0f + 0.25f * frame, 45.0f, 30.0f);
        glLoadMatrixf(currentTerrainView().modelview);
        setFrustumFromGl();
        geomipTerrain.updatePatches();
        std::unique_ptr<TriangleMeshCopy> current = copyMeshByFeedback(bruteTerrain, drawGeomipPatches, nullptr);
        std::vector<int> now;
        for (int i = 0; i < geomipTerrain.patchesPerSide * geomipTerrain.patchesPerSide; ++i)
            now.push_back(geomipTerrain.patches[i].level);
        if (previous) {
            TerrainPoppingResult result;
            std::string why;
            EXPECT_TRUE(measureMeshPopping(bruteTerrain, *previous, *current, currentTerrainView(), result, why)) << why;
            flight.worst = std::max(flight.worst, result.max);
            if (now != levels) ++flight.switches;
        }
        previous = std::move(current);
        levels = now;
    }
    geomorphing = 0;
    terrainErrorTolerance = 0.0f;
    return flight;
}

}  // namespace

// Patches switching level jump by about the tolerance without morphing;
// with it a switch moves nothing and what is left is the morph's own
// small steps between frames.
TEST(TerrainPopping, GeomipmappingPopsAtItsSwitchesAndGeomorphingTakesThePopOut) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    splattingEnabled = 0;
    lightmapEnabled = 0;
    auto rough = [](int x, int z) {
        return static_cast<int>(90 + 50 * std::sin(x * 0.11) * std::cos(z * 0.09) + 20 * std::sin((x + z) * 0.3));
    };
    auto gentle = [](int x, int z) {
        return static_cast<int>(90 + 60 * std::sin(x * 0.05) * std::cos(z * 0.04) + 4 * std::sin((x + z) * 0.2));
    };
    loadProjection();
    const float savedPixels = frustumPixelsPerUnit;
    frustumPixelsPerUnit = 128.0f * 2.41421356f;  // the 256-pixel view at 45 degrees
    const struct {
        const char* label;
        float tolerance;
        int (*map)(int, int);
    } cases[] = {{"distance bands", 0.0f, rough}, {"tolerance 4 px", 4.0f, gentle}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fillMap(bruteTerrain, 129, c.map);
        fillMap(geomipTerrain, 129, c.map);
        const FlightPopping plain = flyGeomipmapping(c.tolerance, 0);
        const FlightPopping morphed = flyGeomipmapping(c.tolerance, 1);
        EXPECT_GT(plain.switches, 3) << "patches change level along the flight";
        EXPECT_EQ(morphed.switches, plain.switches) << "morphing leaves the levels alone";
        EXPECT_GT(plain.worst, 1.0) << "a switch without morphing pops";
        EXPECT_LT(morphed.worst, 0.5) << "with morphing nothing jumps";
        EXPECT_LT(morphed.worst, plain.worst / 3);
        printf("%s: largest per-frame popping %.2f px without morphing, %.2f px with (%d frames with switches)\n",
               c.label, plain.worst, morphed.worst, plain.switches);
    }
    frustumPixelsPerUnit = savedPixels;
}

// The frames' meshes as the frame driver keeps them, through the registry:
// nothing while popping is off; brute force never pops; geomipmapping at
// 4 px pops when a patch changes level; ROAM's copy comes from its drawMesh.
TEST(TerrainPopping, FramesKeptThroughTheRegistryWhileMeasured) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    auto gentle = [](int x, int z) {
        return static_cast<int>(90 + 60 * std::sin(x * 0.05) * std::cos(z * 0.04) + 4 * std::sin((x + z) * 0.2));
    };
    fillMap(bruteTerrain, 129, gentle);
    fillMap(geomipTerrain, 129, gentle);
    ASSERT_TRUE(geomipTerrain.setupPatches(16));
    fillMap(roamTerrain, 129, gentle);
    ASSERT_TRUE(roamTerrain.setupRoam(13, 65536));
    showTerrain = 1;
    showPlants = showGrass = 0;
    splattingEnabled = lightmapEnabled = 1;
    anonymousMode = 1;
    loadProjection();
    const float savedPixels = frustumPixelsPerUnit;
    frustumPixelsPerUnit = 128.0f * 2.41421356f;
    terrainErrorTolerance = 4.0f;
    auto frame = [](int i) {
        setCameraAll(10.0f + 0.5f * i, 60.0f, 10.0f + 0.25f * i, 45.0f, 30.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadMatrixf(currentTerrainView().modelview);
        setFrustumFromGl();
        renderTerrainFrame();
        keepTerrainFrameMesh();
    };

    terrainAlgorithm = terrainGeomipmap;
    turnPoppingMeasureOff();
    frame(0);
    frame(1);
    TerrainPoppingResult result;
    std::string why;
    EXPECT_EQ(measureTerrainPopping(currentTerrainView(), result, why), TerrainPoppingStatus::off) << why;

    const struct {
        int algorithm;
        bool pops;
    } cases[] = {{terrainBruteForce, false}, {terrainGeomipmap, true}, {terrainRoam, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.algorithm);
        terrainAlgorithm = c.algorithm;
        turnPoppingMeasureOn();
        frame(0);
        EXPECT_EQ(measureTerrainPopping(currentTerrainView(), result, why), TerrainPoppingStatus::noFrames);
        double worst = 0.0;
        for (int i = 1; i <= 40; ++i) {
            frame(i);
            ASSERT_EQ(measureTerrainPopping(currentTerrainView(), result, why), TerrainPoppingStatus::measured) << why;
            EXPECT_GT(result.measuredPixels, 2000u);
            worst = std::max(worst, result.max);
        }
        if (c.algorithm == terrainBruteForce) EXPECT_EQ(worst, 0.0);
        if (c.pops) EXPECT_GT(worst, 0.5);
        printf("algorithm %d: largest per-frame popping %.2f px over 40 frames at 4 px\n", c.algorithm, worst);
        turnPoppingMeasureOff();
    }
    terrainErrorTolerance = 0.0f;
    frustumPixelsPerUnit = savedPixels;
    anonymousMode = 0;
}
