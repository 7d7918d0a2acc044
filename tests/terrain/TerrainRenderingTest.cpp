// TerrainRenderingTest.cpp -- pictures of the terrain from fixed cameras on
// synthetic 129 maps: geomipmapping without cracks, and reference pictures
// of splatted geomipmapping and splatted, lit brute force.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>

#include "scene/sceneConfig.h"
#include "support/imageCompare.h"
#include "terrain/geomipmap.h"
#include "terrain/geomipmapAlgorithm.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainTestSupport.h"
#include "vegetation/plantSet.h"

namespace {

// Reference pictures: a pixel differs when a channel is more than 16 away;
// at most 1% of the pixels may differ (rasteriser rounding between Mesa
// builds stays far below that).
constexpr int referenceChannelTolerance = 16;
constexpr double referenceMaxDifferent = 0.01;

struct Eye {
    float x, y, z, targetX, targetY, targetZ;
};

// Perspective view from the eye; the camera (which chooses the levels) is
// put at the eye too, and the frustum planes are taken from the matrices.
void lookFrom(const Eye& eye) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, eye.targetX, eye.targetY, eye.targetZ, 0.0, 1.0, 0.0);
    setCameraPositionRaw(eye.x, eye.y, eye.z);
    setFrustumFromGl();
}

unsigned hashNoise(int x, int z) {
    unsigned h = static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(z) * 19349663u;
    h ^= h >> 13;
    h *= 2654435761u;
    return h >> 24;
}

// Rough ground, so a left-out or extra vertex on a patch border opens a
// visible gap; 0 on the outer border, so the terrain's outline is the square
// 0-128 at height 0.
int crackMap(int x, int z) {
    if (x == 0 || z == 0 || x == 128 || z == 128) return 0;
    const double smooth = 70.0 + 40.0 * std::sin(x * 0.09) * std::cos(z * 0.07);
    return static_cast<int>(smooth) + static_cast<int>(hashNoise(x, z) % 81) - 40;
}

int hillMap(int x, int z) {
    return static_cast<int>(60.0 + 40.0 * std::sin(x * 0.08) * std::cos(z * 0.06) + 15.0 * std::sin((x + z) * 0.15));
}

// The scene's six terrain textures, small and synthetic.
void makeTerrainTextures() {
    detailTexture1 = makeTestTexture(8, 8, true, [](int x, int y, uint8_t* rgb) {
        const bool dark = ((x / 2) ^ (y / 2)) & 1;
        rgb[0] = dark ? 40 : 90;
        rgb[1] = dark ? 110 : 170;
        rgb[2] = dark ? 30 : 50;
    });
    detailTexture2 = makeTestTexture(8, 8, true, [](int, int y, uint8_t* rgb) {
        const bool band = (y / 2) & 1;
        rgb[0] = band ? 230 : 190;
        rgb[1] = band ? 200 : 160;
        rgb[2] = band ? 120 : 90;
    });
    // Layer 1 covers the west and layer 2 the east, blending in between.
    auto cover = [](int x, bool west, uint8_t* rgb) {
        const int v = std::clamp((x - 8) * 255 / 16, 0, 255);
        rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(west ? 255 - v : v);
    };
    coverageTexture1 = makeTestTexture(32, 32, false, [&](int x, int, uint8_t* rgb) { cover(x, true, rgb); });
    coverageTexture2 = makeTestTexture(32, 32, false, [&](int x, int, uint8_t* rgb) { cover(x, false, rgb); });
    baseTexture = makeTestTexture(32, 32, true, [](int x, int y, uint8_t* rgb) {
        const bool line = x % 8 == 0 || y % 8 == 0;
        rgb[0] = line ? 60 : 170;
        rgb[1] = line ? 40 : 100;
        rgb[2] = line ? 120 : 70;
    });
    // Full light with a dark diagonal band.
    lightmapTexture = makeTestTexture(32, 32, false, [](int x, int y, uint8_t* rgb) {
        const int d = std::abs(x - y);
        rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(d < 4 ? 90 : 255);
    });
}

void releaseTerrainTextures() {
    const GLuint names[] = {detailTexture1, detailTexture2, coverageTexture1, coverageTexture2, baseTexture,
                            lightmapTexture};
    glDeleteTextures(6, names);
    baseTexture = detailTexture1 = detailTexture2 = coverageTexture1 = coverageTexture2 = lightmapTexture = 0;
}

int renderTerrain(int algorithm, int splatting, int lightmap) {
    terrainAlgorithm = algorithm;
    showTerrain = 1;
    splattingEnabled = splatting;
    lightmapEnabled = lightmap;
    showPlants = 0;
    showGrass = 0;
    anonymousMode = 1;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const int triangles = renderTerrainFrame();
    glFinish();
    anonymousMode = 0;
    return triangles;
}

std::filesystem::path testOutput(const char* name) {
    std::filesystem::path dir = std::filesystem::path(MORVISTA_BINARY_DIR) / "test-output";
    std::filesystem::create_directories(dir);
    return dir / name;
}

// Draws the map from a low view over its steepest ground and checks that no
// background shows through the terrain. With allLevels (the distance
// bands) the view must hold every level and any background enclosed by the
// terrain counts; otherwise (an error tolerance, which may draw spiky far
// ridges at full detail, whose crossing outlines can enclose background)
// visible neighbours must differ in level somewhere, and enclosed
// background counts only along the borders where they do, where a crack
// would open.
void checkGeomipmappingHasNoCracks(bool allLevels, const std::string& name) {
    const Eye eye{64.0f, 35.0f, 122.0f, 64.0f, 0.0f, 40.0f};
    lookFrom(eye);
    renderTerrain(terrainGeomipmap, 0, 0);

    // Every level is in view, and some patches border coarser ones.
    int levelsSeen = 0, coarserBorders = 0, partlyMorphed = 0;
    for (int pz = 0; pz < 8; ++pz)
        for (int px = 0; px < 8; ++px) {
            const GeomipPatch& patch = geomipTerrain.patches[geomipTerrain.patchIndex(px, pz)];
            if (!patch.visible) continue;
            levelsSeen |= 1 << patch.level;
            const float morph = geomipTerrain.patchMorph(px, pz);
            if (morph > 0.0f && morph < 1.0f) ++partlyMorphed;
            if (px < 7 && geomipTerrain.patches[geomipTerrain.patchIndex(px + 1, pz)].level != patch.level)
                ++coarserBorders;
            if (pz < 7 && geomipTerrain.patches[geomipTerrain.patchIndex(px, pz + 1)].level != patch.level)
                ++coarserBorders;
        }
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    // Projected borders between visible patches at different levels, as
    // segments between neighbouring grid points.
    std::vector<std::array<double, 4>> steps;
    auto addBorder = [&](int x0, int z0, int dx, int dz) {
        double last[2] = {0, 0};
        for (int i = 0; i <= 16; ++i) {
            const int x = x0 + i * dx, z = z0 + i * dz;
            double px, py, pz;
            gluProject(x, geomipTerrain.height(x, z), z, model, projection, viewport, &px, &py, &pz);
            if (i > 0) steps.push_back({last[0], last[1], px, py});
            last[0] = px;
            last[1] = py;
        }
    };
    for (int pz = 0; pz < 8; ++pz)
        for (int px = 0; px < 8; ++px) {
            const GeomipPatch& patch = geomipTerrain.patches[geomipTerrain.patchIndex(px, pz)];
            if (!patch.visible) continue;
            const GeomipPatch* east = px < 7 ? &geomipTerrain.patches[geomipTerrain.patchIndex(px + 1, pz)] : nullptr;
            const GeomipPatch* north = pz < 7 ? &geomipTerrain.patches[geomipTerrain.patchIndex(px, pz + 1)] : nullptr;
            if (east && east->visible && east->level != patch.level) addBorder((px + 1) * 16, pz * 16, 0, 1);
            if (north && north->visible && north->level != patch.level) addBorder(px * 16, (pz + 1) * 16, 1, 0);
        }
    auto nearStep = [&](double x, double y) {
        for (const auto& seg : steps) {
            const double ex = seg[2] - seg[0], ey = seg[3] - seg[1];
            const double length = ex * ex + ey * ey;
            const double t = length > 0 ? std::clamp(((x - seg[0]) * ex + (y - seg[1]) * ey) / length, 0.0, 1.0) : 0.0;
            if (std::hypot(x - seg[0] - t * ex, y - seg[1] - t * ey) < 2.0) return true;
        }
        return false;
    };
    if (geomorphing) EXPECT_GT(partlyMorphed, 2) << "patches in the middle of their morph";
    if (allLevels) {
        EXPECT_EQ(levelsSeen, 0xf) << "levels 0-3 all drawn";
        EXPECT_GT(coarserBorders, 4);
    } else {
        EXPECT_FALSE(steps.empty()) << "visible neighbours at different levels";
    }

    // Two checks of the picture, each marking what it finds in red:
    // 1. The square 0-128 at height 0, projected, lies under the terrain
    //    everywhere: a pixel more than 1.5 pixels inside it must be white.
    // 2. Above that square the view reaches over the far hills: there any
    //    black pixel must belong to the background beyond the terrain's
    //    outline, i.e. be connected to an edge of the picture.
    const double corners[4][2] = {{0, 0}, {0, 128}, {128, 128}, {128, 0}};
    double sx[4], sy[4];
    for (int i = 0; i < 4; ++i) {
        double wz;
        EXPECT_TRUE(gluProject(corners[i][0], 0.0, corners[i][1], model, projection, viewport, &sx[i], &sy[i], &wz));
    }
    double area = 0;  // its sign gives the orientation of the edges
    for (int i = 0; i < 4; ++i) area += sx[i] * sy[(i + 1) % 4] - sx[(i + 1) % 4] * sy[i];
    auto insideBy = [&](double px, double py) {
        double least = 1e9;
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            const double ex = sx[j] - sx[i], ey = sy[j] - sy[i];
            const double cross = (ex * (py - sy[i]) - ey * (px - sx[i])) * (area > 0 ? 1 : -1);
            least = std::min(least, cross / std::hypot(ex, ey));
        }
        return least;
    };

    TestImage image = readFrameBuffer(testViewSize, testViewSize);
    const int w = image.width, h = image.height;
    auto white = [&](int x, int y) {
        const uint8_t* rgb = &image.rgb[(static_cast<size_t>(y) * w + x) * 3];
        return rgb[0] == 255 && rgb[1] == 255 && rgb[2] == 255;
    };
    // Background reachable from the picture's edges.
    std::vector<uint8_t> sky(static_cast<size_t>(w) * h, 0);
    std::vector<int> stack;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x == 0 || y == 0 || x == w - 1 || y == h - 1) && !white(x, y)) {
                sky[y * w + x] = 1;
                stack.push_back(y * w + x);
            }
    while (!stack.empty()) {
        const int at = stack.back();
        stack.pop_back();
        const int x = at % w, y = at / w;
        const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& n : next)
            if (n[0] >= 0 && n[0] < w && n[1] >= 0 && n[1] < h && !sky[n[1] * w + n[0]] && !white(n[0], n[1])) {
                sky[n[1] * w + n[0]] = 1;
                stack.push_back(n[1] * w + n[0]);
            }
    }

    TestImage marked = image;
    int underSquare = 0, holes = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inSquare = insideBy(x + 0.5, y + 0.5) >= 1.5;
            underSquare += inSquare;
            if (white(x, y) || (!inSquare && sky[y * w + x])) continue;
            if (!inSquare && !allLevels && !nearStep(x + 0.5, y + 0.5)) continue;
            ++holes;
            uint8_t* mark = &marked.rgb[(static_cast<size_t>(y) * w + x) * 3];
            mark[0] = 255;
            mark[1] = mark[2] = 0;
        }
    writePpm(testOutput((name + ".ppm").c_str()).string(), image);
    if (holes) writePpm(testOutput((name + "-marked.ppm").c_str()).string(), marked);
    EXPECT_GT(underSquare, w * h / 2) << "the map square fills most of the view";
    EXPECT_EQ(holes, 0) << "background shows through the terrain; see " << testOutput((name + "-marked.ppm").c_str());
}

}  // namespace

TEST(TerrainRendering, GeomipmappingWithMixedLevelsShowsNoCracks) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    // Untextured (texture 0) and white: terrain white, background black.
    baseTexture = 0;
    // The distance bands, then error tolerances that mix levels: loose ones
    // on the rough map, tight ones on the smooth hills.
    const struct {
        const char* name;
        int (*map)(int, int);
        float tolerance;
    } cases[] = {
        {"rough-0", crackMap, 0.0f},  {"rough-64", crackMap, 64.0f}, {"rough-160", crackMap, 160.0f},
        {"hills-1", hillMap, 1.0f},   {"hills-4", hillMap, 4.0f},
    };
    // With geomorphing the patches in view are at every stage of their
    // morph, each border following its two patches.
    for (int morph : {0, 1})
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << ": error tolerance " << c.tolerance << ", geomorphing " << morph);
        geomorphing = morph;
        fillMap(geomipTerrain, 129, c.map);
        ASSERT_TRUE(geomipTerrain.setupPatches(16));
        geomipTerrain.multiTextureDistance = 40.0f;
        terrainErrorTolerance = c.tolerance;
        checkGeomipmappingHasNoCracks(c.tolerance == 0.0f,
                                      std::string("geomip-cracks-") + c.name + (morph ? "-morphed" : ""));
    }
    geomorphing = 0;
    terrainErrorTolerance = 0.0f;
}

TEST(TerrainRendering, SplattedGeomipmappingMatchesReference) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    fillMap(geomipTerrain, 129, hillMap);
    ASSERT_TRUE(geomipTerrain.setupPatches(16));
    geomipTerrain.multiTextureDistance = 40.0f;
    makeTerrainTextures();
    // Low over the south-west corner looking north-east: splatted patches
    // near, the base texture fading in beyond 40, alone beyond 60.
    lookFrom({4.0f, 50.0f, 124.0f, 64.0f, 0.0f, 50.0f});
    renderTerrain(terrainGeomipmap, 1, 1);
    int splatted = 0, faded = 0, based = 0;
    for (int i = 0; i < 64; ++i) {
        const GeomipPatch& patch = geomipTerrain.patches[i];
        if (!patch.visible) continue;
        if (patch.distance < 40.0f)
            ++splatted;
        else if (patch.distance < 60.0f)
            ++faded;
        else
            ++based;
    }
    EXPECT_GT(splatted, 0);
    EXPECT_GT(faded, 0);
    EXPECT_GT(based, 0);
    expectMatchesReference("geomip-splatted-lit", readFrameBuffer(testViewSize, testViewSize),
                           referenceChannelTolerance, referenceMaxDifferent);
    releaseTerrainTextures();
}

TEST(TerrainRendering, SplattedLitBruteForceMatchesReference) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    fillMap(bruteTerrain, 129, hillMap);
    makeTerrainTextures();
    setTerrainColour(255, 255, 255);
    lookFrom({4.0f, 50.0f, 124.0f, 64.0f, 0.0f, 50.0f});
    EXPECT_EQ(renderTerrain(terrainBruteForce, 1, 1), 3 * 32768);
    expectMatchesReference("brute-splatted-lit", readFrameBuffer(testViewSize, testViewSize),
                           referenceChannelTolerance, referenceMaxDifferent);
    releaseTerrainTextures();
}

// Views where neighbouring patches sit at different levels, drawn with every
// texturing path (splatted and lit with the fade band, splatted without the
// lightmap, the base texture alone): the pictures and the counts of each are
// stored, so a change in how the fans reach OpenGL must leave both alone.
TEST(TerrainRendering, GeomipmappingViewsKeepTheirPicturesAndCounts) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    makeTerrainTextures();
    const struct {
        const char* name;
        int (*map)(int, int);
        Eye eye;
        int splatting, lightmap;
        int triangles, vertices, patches;
    } views[] = {
        {"geomip-view-rough-lit", crackMap, {20.0f, 45.0f, 20.0f, 90.0f, 10.0f, 100.0f}, 1, 1, 11080, 13916, 58},
        {"geomip-view-hills-splatted", hillMap, {120.0f, 30.0f, 70.0f, 30.0f, 5.0f, 60.0f}, 1, 0, 8632, 10860, 53},
        {"geomip-view-rough-base", crackMap, {64.0f, 70.0f, 110.0f, 64.0f, 0.0f, 30.0f}, 0, 1, 1770, 2230, 56},
    };
    for (const auto& view : views) {
        SCOPED_TRACE(view.name);
        fillMap(geomipTerrain, 129, view.map);
        ASSERT_TRUE(geomipTerrain.setupPatches(16));
        geomipTerrain.multiTextureDistance = 40.0f;
        lookFrom(view.eye);
        // A first frame settles the levels of patches seen for the first time.
        renderTerrain(terrainGeomipmap, view.splatting, view.lightmap);
        const int triangles = renderTerrain(terrainGeomipmap, view.splatting, view.lightmap);

        int levelsSeen = 0, levelSteps = 0;
        for (int pz = 0; pz < 8; ++pz)
            for (int px = 0; px < 8; ++px) {
                const GeomipPatch& patch = geomipTerrain.patches[geomipTerrain.patchIndex(px, pz)];
                if (!patch.visible) continue;
                levelsSeen |= 1 << patch.level;
                if (px < 7 && geomipTerrain.patches[geomipTerrain.patchIndex(px + 1, pz)].level != patch.level)
                    ++levelSteps;
                if (pz < 7 && geomipTerrain.patches[geomipTerrain.patchIndex(px, pz + 1)].level != patch.level)
                    ++levelSteps;
            }
        EXPECT_GE(__builtin_popcount(levelsSeen), 3) << "several levels in view";
        EXPECT_GT(levelSteps, 4) << "neighbours at different levels";

        EXPECT_EQ(triangles, view.triangles);
        EXPECT_EQ(geomipTerrain.triangleCount, view.triangles);
        EXPECT_EQ(geomipTerrain.vertexCount, view.vertices);
        EXPECT_EQ(geomipTerrain.patchesDrawn, view.patches);
        expectMatchesReference(view.name, readFrameBuffer(testViewSize, testViewSize), referenceChannelTolerance,
                               referenceMaxDifferent);
    }
    releaseTerrainTextures();
}

// Flat ground seen from straight above, splatted black with the base texture
// white: every pixel shows the base texture's share at its own distance from
// the camera, 0 nearer than 40 rising to full at 60, with no step where
// patches meet.
TEST(TerrainRendering, GeomipmappingFadesTheBaseTextureInByDistanceAcrossPatches) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    fillMap(geomipTerrain, 129, [](int, int) { return 0; });
    ASSERT_TRUE(geomipTerrain.setupPatches(16));
    geomipTerrain.multiTextureDistance = 40.0f;
    auto solid = [](uint8_t value) {
        return makeTestTexture(4, 4, true, [value](int, int, uint8_t* rgb) { rgb[0] = rgb[1] = rgb[2] = value; });
    };
    detailTexture1 = detailTexture2 = solid(0);
    coverageTexture1 = coverageTexture2 = lightmapTexture = solid(255);
    baseTexture = solid(255);
    splattingEnabled = 1;
    lightmapEnabled = 0;

    // Grid units 0-128 over the 256-pixel view, world z running down it.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 128, -128, 0, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    setOpenFrustum();
    const float eyeX = 50.0f, eyeY = 5.0f, eyeZ = 70.0f;
    setCameraPositionRaw(eyeX, eyeY, eyeZ);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    geomipTerrain.renderGeomipmap();
    glFinish();

    TestImage image = readFrameBuffer(testViewSize, testViewSize);
    auto red = [&](int x, int y) { return static_cast<int>(image.rgb[(static_cast<size_t>(y) * image.width + x) * 3]); };
    // The share against the exact one (fans interpolate it linearly between
    // their vertices, which rounds the kinks at 40 and 60 by up to a tenth),
    // and the largest jump between neighbouring pixels (half a unit apart: a
    // smooth fade changes by at most 0.025 there).
    int worst = 0, worstX = 0, worstY = 0, jump = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (x > 0) jump = std::max(jump, std::abs(red(x, y) - red(x - 1, y)));
            if (y > 0) jump = std::max(jump, std::abs(red(x, y) - red(x, y - 1)));
            const float gridX = (x + 0.5f) / 2.0f, gridZ = 128.0f - (y + 0.5f) / 2.0f;
            const float distance = std::sqrt((gridX - eyeX) * (gridX - eyeX) + eyeY * eyeY +
                                             (gridZ - eyeZ) * (gridZ - eyeZ));
            const float share = std::clamp((distance - 40.0f) / 20.0f, 0.0f, 1.0f);
            const int off = std::abs(red(x, y) - static_cast<int>(std::lround(255.0f * share)));
            if (off > worst) {
                worst = off;
                worstX = x;
                worstY = y;
            }
        }
    writePpm(testOutput("geomip-fade.ppm").string(), image);
    EXPECT_LE(jump, 12) << "a step in the fade; see " << testOutput("geomip-fade.ppm");
    EXPECT_LE(worst, 28) << "pixel " << worstX << "," << worstY << " is off by " << worst << "; see "
                        << testOutput("geomip-fade.ppm");
    releaseTerrainTextures();
}
