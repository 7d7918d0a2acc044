// TerrainErrorTest.cpp -- the terrain error instrument on cases whose
// answer is known: the full grid against itself, a mesh lifted by a known
// height, the surface it measures against, the statuses with nothing to
// measure, and that a measurement leaves the frame, its counts and the GL
// state as they were.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "scene/sceneConfig.h"
#include "terrain/bruteForce.h"
#include "terrain/geomipmapAlgorithm.h"
#include "terrain/roamAlgorithm.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainError.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainTestSupport.h"

namespace {

// A bumpy 65 map: hills and a ripple, so every cell is twisted.
int bumpySample(int x, int z) {
    return static_cast<int>(120 + 60 * std::sin(x * 0.21) * std::cos(z * 0.17) + 25 * std::sin((x + 2 * z) * 0.9));
}

// Test textures: a striped base and a lightmap ramp, so a moved pixel shows.
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

// The projection of a frame: 45 degrees (or fovy) over the square test view.
void loadProjection(double fovy = 45.0) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
}

void drawLiftedMesh(void* context) { drawBruteForce(*static_cast<Cheightmap*>(context), 0, 1.0f); }

// The grid in context drawn every `step` samples, each cell split from
// (x, z) to (x + step, z + step): the other diagonal from brute force's.
struct SteppedMesh {
    const Cheightmap* grid;
    int step;
};
void drawSteppedMesh(void* context) {
    const SteppedMesh& mesh = *static_cast<SteppedMesh*>(context);
    const Cheightmap& g = *mesh.grid;
    auto vertex = [&](int x, int z) { glVertex3f(x * g.xScale, g.height(x, z), z * g.zScale); };
    glBegin(GL_TRIANGLES);
    for (int z = 0; z + mesh.step < g.size; z += mesh.step)
        for (int x = 0; x + mesh.step < g.size; x += mesh.step) {
            const int x1 = x + mesh.step, z1 = z + mesh.step;
            vertex(x, z), vertex(x1, z1), vertex(x1, z);
            vertex(x, z), vertex(x, z1), vertex(x1, z1);
        }
    glEnd();
}

}  // namespace

TEST(TerrainError, FullGridSpanIsBoundedByTheCellsTwoDiagonals) {
    Cheightmap grid;
    // One cell: corners (0,0) 0, (1,0) 40, (0,1) 80, (1,1) 200 (x 0.25 height scale).
    fillMap(grid, 2, [](int x, int z) { return (x == 0 && z == 0) ? 0 : (x == 1 && z == 0) ? 40 : (x == 0) ? 80 : 200; });
    const struct {
        const char* where;
        double x, z, low, high, strips;
    } cases[] = {
        {"grid point (0, 0)", 0.0, 0.0, 0.0, 0.0, 0.0},
        {"grid point (1, 1)", 1.0, 1.0, 50.0, 50.0, 50.0},
        {"cell centre: mean of (1, 0) and (0, 1), or of (0, 0) and (1, 1)", 0.5, 0.5, 15.0, 25.0, 15.0},
        {"on an edge both diagonals agree", 0.25, 0.0, 2.5, 2.5, 2.5},
        // strips: 50 + 0.25 (20 - 50) + 0.25 (10 - 50); other: 0 + 0.75 * 10 + 0.75 * (50 - 10)
        {"upper triangle", 0.75, 0.75, 32.5, 37.5, 32.5},
        {"outside the grid takes the nearest edge", -5.0, 9.0, 20.0, 20.0, 20.0},
    };
    for (const auto& c : cases) {
        const GridSpan span = fullGridSpan(grid, c.x, c.z);
        EXPECT_NEAR(span.low, c.low, 1e-9) << c.where;
        EXPECT_NEAR(span.high, c.high, 1e-9) << c.where;
        EXPECT_NEAR(span.strips, c.strips, 1e-9) << c.where;
    }
    const GridSpan centre = fullGridSpan(grid, 0.5, 0.5);
    EXPECT_EQ(centre.outside(20.0), 0.0) << "inside the span (the bilinear height) is no error";
    EXPECT_NEAR(centre.outside(10.0), 5.0, 1e-9);
    EXPECT_NEAR(centre.outside(31.0), 6.0, 1e-9);
}

TEST(TerrainError, FullGridAgainstItselfMeasuresNothing) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    fillMap(bruteTerrain, 65, bumpySample);
    showTerrain = 1;
    terrainAlgorithm = terrainBruteForce;
    loadProjection();
    // Oblique and low, so near and far ground, slopes and ridges all show.
    setCameraAll(10.0f, 60.0f, 70.0f, 30.0f, 25.0f);

    TerrainErrorResult result;
    std::string why;
    ASSERT_EQ(measureTerrainError(currentTerrainView(), result, why), TerrainErrorStatus::measured) << why;
    EXPECT_GT(result.meshPixels, 20000u) << "most of the view shows terrain";
    // What is left is float rounding: far below a pixel.
    EXPECT_LT(result.geometricP95, 0.005);
    EXPECT_LT(result.geometricMax, 0.05);
    EXPECT_EQ(result.imageShare, 0.0);
    EXPECT_TRUE(std::isinf(result.psnr));
    EXPECT_EQ(terrainErrorLine(result).find("PSNR inf"), terrainErrorLine(result).size() - 8);
}

// Every sample drawn, but every cell split along the other diagonal: the
// mesh has all the grid's detail and measures nothing, though its picture
// is not brute force's (the cells' twist shows near the camera). Dropping
// every second sample is what the measure must see.
TEST(TerrainError, EitherDiagonalIsFullResolutionAndMissingSamplesAreNot) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    fillMap(bruteTerrain, 65, bumpySample);
    loadProjection();
    setCameraAll(10.0f, 60.0f, 70.0f, 30.0f, 25.0f);
    const struct {
        const char* label;
        int step;
        double p95Below, maxBelow, p95Above;
    } cases[] = {
        // The maximum: a few tenths at a grazing angle, the measure's resolution.
        {"every sample, other diagonal", 1, 0.005, 0.25, -1.0},
        {"every second sample", 2, 1e9, 1e9, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SteppedMesh mesh{&bruteTerrain, c.step};
        TerrainErrorResult result;
        std::string why;
        ASSERT_TRUE(measureMeshError(bruteTerrain, drawSteppedMesh, &mesh, currentTerrainView(), result, why)) << why;
        EXPECT_GT(result.meshPixels, 20000u);
        EXPECT_LT(result.geometricP95, c.p95Below);
        EXPECT_LT(result.geometricMax, c.maxBelow);
        EXPECT_GT(result.geometricP95, c.p95Above);
    }
}

// A flat grid at height 10 and the same grid lifted by `lift` world units,
// seen straight down from `above` units over the reference: every pixel is
// lift units too high at eye depth (above - lift), so the error is
// lift * (256 / 2) * cot(fovy / 2) / (above - lift) pixels everywhere.
TEST(TerrainError, LiftedMeshGivesTheProjectedHeightInPixels) {
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
        {"1 unit at depth 63, 45 degrees: 128 * 2.4142 / 63", 4, 45.0, 64.0, 128.0 * 2.41421356 / 63.0},
    };
    for (bool fromDepth : {false, true})
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SCOPED_TRACE(fromDepth ? "surface points rebuilt from depth" : "surface points from the shader");
        terrainErrorDepthOnly = fromDepth;
        Cheightmap lifted;
        fillMap(lifted, 129, [&](int, int) { return 40 + c.liftSamples; });
        loadProjection(c.fovy);
        setCameraAll(64.0f, static_cast<float>(10.0 + c.above), 64.0f, 0.0f, 90.0f);  // straight down
        TerrainErrorResult result;
        std::string why;
        ASSERT_TRUE(measureMeshError(bruteTerrain, drawLiftedMesh, &lifted, currentTerrainView(), result, why)) << why;
        EXPECT_EQ(result.meshPixels, static_cast<size_t>(testViewSize * testViewSize)) << "the grid fills the view";
        EXPECT_NEAR(result.geometricP95, c.pixels, 0.02 * c.pixels);
        EXPECT_NEAR(result.geometricMax, c.pixels, 0.02 * c.pixels);
    }
    terrainErrorDepthOnly = false;
}

TEST(TerrainError, QuadTreeTerrainOffAndNoGridHaveNothingToMeasure) {
    fillMap(bruteTerrain, 65, bumpySample);
    TerrainView view{};
    view.width = view.height = 16;
    const struct {
        const char* label;
        int algorithm, terrainShown;
        bool grid;
        TerrainErrorStatus status;
    } cases[] = {
        {"quad-tree", terrainQuadTree, 1, true, TerrainErrorStatus::quadTree},
        {"terrain off", terrainGeomipmap, 0, true, TerrainErrorStatus::terrainOff},
        {"no height file loaded", terrainRoam, 1, false, TerrainErrorStatus::noTerrain},
    };
    for (const auto& c : cases) {
        terrainAlgorithm = c.algorithm;
        showTerrain = c.terrainShown;
        if (!c.grid) bruteTerrain.release();
        TerrainErrorResult result;
        result.geometricMax = 99.0;
        std::string why;
        EXPECT_EQ(measureTerrainError(view, result, why), c.status) << c.label;
        EXPECT_NE(why.find("nothing to measure"), std::string::npos) << c.label << ": " << why;
        EXPECT_EQ(result.geometricMax, 0.0) << c.label;
    }
    showTerrain = 1;
}

// After a frame of each algorithm, a measurement must leave the picture
// in the frame buffer, the frame's triangle counts, ROAM's mesh and
// optimiser, and the GL state exactly as they were.
TEST(TerrainError, LeavesTheFrameItsCountsAndTheGlStateAlone) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    detailTexture1 = detailTexture2 = coverageTexture1 = coverageTexture2 = baseTexture;
    fillMap(bruteTerrain, 129, bumpySample);
    fillMap(geomipTerrain, 129, bumpySample);
    ASSERT_TRUE(geomipTerrain.setupPatches(16));
    geomipTerrain.multiTextureDistance = 40.0f;
    fillMap(roamTerrain, 129, bumpySample);
    ASSERT_TRUE(roamTerrain.setupRoam(13, 65536));
    showPlants = 0;
    showGrass = 0;
    showTerrain = 1;
    splattingEnabled = 1;
    lightmapEnabled = 1;
    anonymousMode = 1;
    loadProjection();
    setCameraAll(20.0f, 45.0f, 110.0f, 40.0f, 20.0f);

    for (int algorithm : {terrainBruteForce, terrainGeomipmap, terrainRoam}) {
        SCOPED_TRACE(algorithm);
        terrainAlgorithm = algorithm;
        std::vector<uint8_t> before(testViewSize * testViewSize * 4), after(before.size());
        int triangles = 0;
        for (int frame = 0; frame < 5; ++frame) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadMatrixf(currentTerrainView().modelview);
            triangles = renderTerrainFrame();
        }
        glReadPixels(0, 0, testViewSize, testViewSize, GL_RGBA, GL_UNSIGNED_BYTE, before.data());
        const int reported = terrainReport.triangles;
        const int bruteCount = bruteTerrain.triangleCount, geomipCount = geomipTerrain.triangleCount;
        const int patches = geomipTerrain.patchesDrawn;
        const long long operations = roamTerrain.splitCount + roamTerrain.mergeCount;
        const int roamFrame = roamTerrain.frame, roamSlots = roamTerrain.nextTriangle;
        const float extent[3] = {bruteExtent[0], bruteExtent[1], bruteExtent[2]};
        // A state the window could be in.
        glColor4f(0.5f, 0.25f, 1.0f, 0.75f);
        glEnable(GL_BLEND);
        glViewport(0, 0, 200, 100);
        float projection[16], modelview[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        TerrainView view = currentTerrainView();
        view.width = view.height = testViewSize;

        TerrainErrorResult result;
        std::string why;
        ASSERT_EQ(measureTerrainError(view, result, why), TerrainErrorStatus::measured) << why;
        EXPECT_GT(result.meshPixels, 10000u);

        glReadPixels(0, 0, testViewSize, testViewSize, GL_RGBA, GL_UNSIGNED_BYTE, after.data());
        EXPECT_TRUE(before == after) << "the window's picture is untouched";
        EXPECT_EQ(terrainReport.triangles, reported);
        EXPECT_EQ(bruteTerrain.triangleCount, bruteCount);
        EXPECT_EQ(geomipTerrain.triangleCount, geomipCount);
        EXPECT_EQ(geomipTerrain.patchesDrawn, patches);
        EXPECT_EQ(roamTerrain.splitCount + roamTerrain.mergeCount, operations) << "ROAM's optimiser is not stepped";
        EXPECT_EQ(roamTerrain.frame, roamFrame);
        EXPECT_EQ(roamTerrain.nextTriangle, roamSlots);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(bruteExtent[i], extent[i]);

        GLint viewport[4], framebuffer = -1, active = 0;
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        EXPECT_EQ(viewport[2], 200);
        EXPECT_EQ(viewport[3], 100);
        EXPECT_EQ(framebuffer, 0);
        EXPECT_EQ(active, GL_TEXTURE0);
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
        float colour[4], projectionAfter[16], modelviewAfter[16];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelviewAfter);
        EXPECT_FLOAT_EQ(colour[1], 0.25f);
        EXPECT_FLOAT_EQ(colour[3], 0.75f);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(projectionAfter[i], projection[i]);
            EXPECT_EQ(modelviewAfter[i], modelview[i]);
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        // The next frame counts what it would have counted.
        glDisable(GL_BLEND);
        glViewport(0, 0, testViewSize, testViewSize);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadMatrixf(currentTerrainView().modelview);
        if (algorithm != terrainRoam) EXPECT_EQ(renderTerrainFrame(), triangles);
        else renderTerrainFrame();
    }
    anonymousMode = 0;
}
