// CdlodTest.cpp -- the CDLOD terrain: its tree, errors and ranges, the
// selection's invariants over many cameras, what it draws and counts
// against what the instrument measures, no cracks with the morph at every
// stage, a morph without steps, and its geometric error at 1 px against
// the full grid.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "scene/sceneConfig.h"
#include "support/imageCompare.h"
#include "terrain/bruteForce.h"
#include "terrain/cdlod.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainError.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainTestSupport.h"

namespace {

unsigned hashNoise(int x, int z) {
    unsigned h = static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(z) * 19349663u;
    h ^= h >> 13;
    h *= 2654435761u;
    return h >> 24;
}

// Rough ground, 0 on the outer border of the 129 map, so the terrain's
// outline is the square 0-128 at height 0 and a gap between areas shows.
int roughMap(int x, int z) {
    if (x == 0 || z == 0 || x == 128 || z == 128) return 0;
    const double smooth = 70.0 + 40.0 * std::sin(x * 0.09) * std::cos(z * 0.07);
    return static_cast<int>(smooth) + static_cast<int>(hashNoise(x, z) % 81) - 40;
}

// Smooth hills, 0 on the border of the 129 map.
int hillMap(int x, int z) {
    if (x == 0 || z == 0 || x == 128 || z == 128) return 0;
    return static_cast<int>(60.0 + 40.0 * std::sin(x * 0.08) * std::cos(z * 0.06) + 15.0 * std::sin((x + z) * 0.15));
}

// Steep smooth hills falling to 0 over the 24 cells next to the border of
// a map of size samples.
int smoothHillsOf(int x, int z, int size) {
    auto rise = [](double cells) {
        const double t = std::min(cells / 24.0, 1.0);
        return t * t * (3.0 - 2.0 * t);
    };
    const double ramp = rise(std::min(x, size - 1 - x)) * rise(std::min(z, size - 1 - z));
    return static_cast<int>(ramp * (100.0 + 60.0 * std::sin(x * 0.08) * std::cos(z * 0.06) + 30.0 * std::sin((x + z) * 0.15)));
}
int smoothHills(int x, int z) { return smoothHillsOf(x, z, 129); }
int smoothHills257(int x, int z) { return smoothHillsOf(x, z, 257); }

// Value noise over a lattice of the given spacing, smoothly interpolated.
double valueNoise(double x, double z, int spacing, unsigned seed) {
    const int ix = static_cast<int>(std::floor(x / spacing)), iz = static_cast<int>(std::floor(z / spacing));
    double u = x / spacing - ix, v = z / spacing - iz;
    u = u * u * (3 - 2 * u);
    v = v * v * (3 - 2 * v);
    auto at = [&](int a, int b) { return hashNoise(a * 7 + static_cast<int>(seed), b * 13 - static_cast<int>(seed)) / 255.0; };
    return (at(ix, iz) * (1 - u) + at(ix + 1, iz) * u) * (1 - v) + (at(ix, iz + 1) * (1 - u) + at(ix + 1, iz + 1) * u) * v;
}

// A generated landscape of octaves of value noise down to the given
// lattice spacing, over the whole byte range.
int generatedMapOf(int x, int z, int finest) {
    double h = 0.0, weight = 0.0, amplitude = 1.0;
    for (int octave = 0, spacing = 128; spacing >= finest; ++octave, spacing /= 2, amplitude *= 0.5) {
        h += amplitude * valueNoise(x, z, spacing, static_cast<unsigned>(octave) * 31u);
        weight += amplitude;
    }
    return static_cast<int>(h / weight * 300.0 - 30.0);
}
// Detail down to 2 cells, and a smoother one (down to 16) whose coarser
// levels are within a pixel at shorter distances.
int generatedMap(int x, int z) { return generatedMapOf(x, z, 2); }
int smoothGeneratedMap(int x, int z) { return generatedMapOf(x, z, 16); }

struct Eye {
    float x, y, z, targetX, targetY, targetZ;
};

// A frame's view: viewport, projection and view transform, the camera
// snapshot and the frustum taken from them, as the frame driver does.
TerrainView lookFrom(const Eye& eye, int width = testViewSize, int height = testViewSize, double fovy = 60.0) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, static_cast<double>(width) / height, 1.0, 3000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, eye.targetX, eye.targetY, eye.targetZ, 0.0, 1.0, 0.0);
    setCameraPositionRaw(eye.x, eye.y, eye.z);
    frameCameraX = eye.x;
    frameCameraY = eye.y;
    frameCameraZ = eye.z;
    extractFrustum();
    TerrainView view;
    glGetFloatv(GL_MODELVIEW_MATRIX, view.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
    view.width = width;
    view.height = height;
    return view;
}

// Puts the switches the tests change back as they were.
struct SavedSwitches {
    float tolerance = terrainErrorTolerance;
    int splatting = splattingEnabled, lightmap = lightmapEnabled;
    ~SavedSwitches() {
        terrainErrorTolerance = tolerance;
        splattingEnabled = splatting;
        lightmapEnabled = lightmap;
        glViewport(0, 0, testViewSize, testViewSize);
    }
};

std::filesystem::path testOutput(const std::string& name) {
    std::filesystem::path dir = std::filesystem::path(MORVISTA_BINARY_DIR) / "test-output";
    std::filesystem::create_directories(dir);
    return dir / name;
}

void drawCdlodMesh(void* context) { static_cast<Ccdlod*>(context)->drawMesh(); }

// The drawn surface's height at every grid point (NaN where nothing is
// drawn), from the mesh as drawn; the level of the area drawing it; and
// the fastest its height may change per unit of camera travel: the largest
// morph height |c - h| of the vertices around it over the length of their
// level's morph (0 where nothing morphs).
struct Surface {
    int size = 0;
    std::vector<float> height;
    std::vector<int> level;
    std::vector<float> rate;
};
Surface drawnSurface(const Ccdlod& cdlod) {
    Surface s;
    s.size = cdlod.size();
    s.height.assign(static_cast<size_t>(s.size) * s.size, std::numeric_limits<float>::quiet_NaN());
    s.level.assign(s.height.size(), -1);
    s.rate.assign(s.height.size(), 0.0f);
    std::vector<float> mesh;
    cdlod.morphedMesh(mesh, false);
    // Triangles in area order; each area has (cells / quads)^2 * 2 of them.
    size_t t = 0;
    for (const CdlodArea& area : cdlod.selection()) {
        const int quads = area.quarter < 0 ? cdlod.gridDim() : cdlod.gridDim() / 2;
        const CdlodNode& node = cdlod.nodes()[area.node];
        const float length = cdlod.range(area.level) - cdlod.morphStart(area.level);
        for (int k = 0; k < quads * quads * 2; ++k, ++t) {
            const float* v = &mesh[t * 9];
            float rate = 0.0f;
            if (area.level < cdlod.topLevel())
                for (int corner = 0; corner < 3; ++corner) {
                    const int i = (static_cast<int>(std::lround(v[corner * 3] / cdlod.xScale())) - node.x) >> node.level;
                    const int j = (static_cast<int>(std::lround(v[corner * 3 + 2] / cdlod.zScale())) - node.z) >> node.level;
                    rate = std::max(rate, std::abs(cdlod.coarseHeight(area.node, i, j) - cdlod.fineHeight(area.node, i, j)) / length);
                }
            const double ax = v[0] / cdlod.xScale(), az = v[2] / cdlod.zScale();
            const double bx = v[3] / cdlod.xScale(), bz = v[5] / cdlod.zScale();
            const double cx = v[6] / cdlod.xScale(), cz = v[8] / cdlod.zScale();
            const double det = (bz - cz) * (ax - cx) + (cx - bx) * (az - cz);
            const int x0 = static_cast<int>(std::floor(std::min({ax, bx, cx}))), x1 = static_cast<int>(std::ceil(std::max({ax, bx, cx})));
            const int z0 = static_cast<int>(std::floor(std::min({az, bz, cz}))), z1 = static_cast<int>(std::ceil(std::max({az, bz, cz})));
            for (int z = z0; z <= z1; ++z)
                for (int x = x0; x <= x1; ++x) {
                    const double wa = ((bz - cz) * (x - cx) + (cx - bx) * (z - cz)) / det;
                    const double wb = ((cz - az) * (x - cx) + (ax - cx) * (z - cz)) / det;
                    const double wc = 1.0 - wa - wb;
                    if (wa < -1e-9 || wb < -1e-9 || wc < -1e-9) continue;
                    const size_t at = static_cast<size_t>(z) * s.size + x;
                    s.height[at] = static_cast<float>(wa * v[1] + wb * v[4] + wc * v[7]);
                    s.level[at] = area.level;
                    s.rate[at] = std::max(s.rate[at], rate);
                }
        }
    }
    return s;
}

}  // namespace

// The tree over a 257 grid: levels, boxes, errors measured against the
// grid, the fixed ranges and those the tolerance asks for; grids it cannot
// take are refused.
TEST(CdlodSetUp, BuildsTheTreeErrorsAndRanges) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    SavedSwitches saved;
    Cheightmap grid;
    fillMap(grid, 257, generatedMap);
    Ccdlod cdlod;
    std::string failure;
    ASSERT_TRUE(cdlod.setUp(grid, failure)) << failure;
    EXPECT_EQ(cdlod.gridDim(), 32);
    EXPECT_EQ(cdlod.topLevel(), 3);  // 256 = 32 * 2^3
    EXPECT_EQ(cdlod.nodes().size(), 1u + 4u + 16u + 64u);
    EXPECT_EQ(cdlod.levelError(0), 0.0f) << "a leaf is drawn through every sample";
    EXPECT_GT(cdlod.levelError(1), 0.0f);
    for (int level = 1; level <= 3; ++level) EXPECT_GE(cdlod.levelError(level), cdlod.levelError(level - 1));

    // Each node's error is the most a sample lies off its mesh: recomputed
    // here for one node from the grid, by the mesh's own triangles.
    const CdlodNode& node = cdlod.nodes()[1];
    ASSERT_EQ(node.level, 2);
    double worst = 0.0;
    for (int z = node.z; z <= node.z + node.cells; ++z)
        for (int x = node.x; x <= node.x + node.cells; ++x) {
            const int step = 4;
            const int qx = std::min((x - node.x) / step, cdlod.gridDim() - 1), qz = std::min((z - node.z) / step, cdlod.gridDim() - 1);
            const double u = (x - node.x - qx * step) / 4.0, v = (z - node.z - qz * step) / 4.0;
            const double h00 = grid.height(node.x + qx * step, node.z + qz * step);
            const double h10 = grid.height(node.x + qx * step + step, node.z + qz * step);
            const double h01 = grid.height(node.x + qx * step, node.z + qz * step + step);
            const double h11 = grid.height(node.x + qx * step + step, node.z + qz * step + step);
            const double surface = v >= u ? h00 + v * (h01 - h00) + u * (h11 - h01) : h00 + u * (h10 - h00) + v * (h11 - h10);
            worst = std::max(worst, std::abs(grid.height(x, z) - surface));
        }
    EXPECT_NEAR(node.error, worst, 1e-4);

    lookFrom({128.0f, 80.0f, 128.0f, 128.0f, 0.0f, 0.0f});
    terrainErrorTolerance = 0.0f;
    cdlod.update();
    // Four leaf widths, doubling, unless the nodes' size asks for more.
    const float expected[3] = {128.0f, 256.0f, 512.0f};
    for (int level = 0; level < 3; ++level) {
        const float least = level == 0 ? 0.0f : cdlod.range(level - 1) + cdlod.levelDiagonal(level - 1) / 0.7f;
        EXPECT_FLOAT_EQ(cdlod.range(level), std::max(expected[level], least)) << "level " << level;
    }
    EXPECT_TRUE(std::isinf(cdlod.range(3)));
    std::string problem;
    EXPECT_TRUE(checkCdlodInvariants(cdlod, problem)) << problem;

    // With a tolerance, each range ends where the next coarser level's
    // error, seen from the view's corner, is within the tolerance; tighter
    // tolerances ask for longer ranges.
    float previous[3] = {0, 0, 0};
    for (float tolerance : {8.0f, 4.0f, 1.0f, 0.5f}) {
        terrainErrorTolerance = tolerance;
        cdlod.update();
        EXPECT_TRUE(checkCdlodInvariants(cdlod, problem)) << problem;
        const float corner = std::sqrt(1.0f + 2.0f * std::pow(std::tan(30.0f * 3.14159265f / 180.0f), 2.0f));
        for (int level = 0; level < 3; ++level) {
            EXPECT_GE(cdlod.range(level) * 1.0001f,
                      cdlod.levelError(level + 1) * frustumPixelsPerUnit * corner / tolerance)
                << "level " << level << " at " << tolerance << " px";
            EXPECT_GT(cdlod.range(level), previous[level]);
            previous[level] = cdlod.range(level);
        }
    }

    const struct {
        int size;
        bool taken;
    } grids[] = {{100, false}, {2, false}, {65, true}, {17, true}};
    for (const auto& g : grids) {
        Cheightmap other;
        fillMap(other, g.size, hillMap);
        Ccdlod small;
        std::string why;
        EXPECT_EQ(small.setUp(other, why), g.taken) << g.size << ": " << why;
        if (g.taken) {
            EXPECT_EQ(small.gridDim(), std::min(32, g.size - 1));
        } else {
            EXPECT_FALSE(why.empty());
        }
    }
}

// Over cameras all around and above the map, at every tolerance: the
// selection keeps its invariants; with an open frustum the areas tile the
// grid, and the frustum drops areas behind the camera.
TEST(CdlodSelection, KeepsItsInvariantsFromEveryCamera) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    SavedSwitches saved;
    Cheightmap grid;
    fillMap(grid, 129, roughMap);
    Ccdlod cdlod(8);
    std::string failure, problem;
    ASSERT_TRUE(cdlod.setUp(grid, failure)) << failure;
    ASSERT_EQ(cdlod.topLevel(), 4);
    int levelsSeen = 0;
    for (float tolerance : {0.0f, 1.0f, 4.0f, 16.0f})
        for (int k = 0; k < 40; ++k) {
            const float x = -60.0f + static_cast<float>((k * 37) % 250), z = -60.0f + static_cast<float>((k * 71) % 250);
            const float y = 5.0f + static_cast<float>((k * 13) % 120);
            SCOPED_TRACE(testing::Message() << "tolerance " << tolerance << " eye " << x << " " << y << " " << z);
            terrainErrorTolerance = tolerance;
            lookFrom({x, y, z, 64.0f, 0.0f, 64.0f});
            setOpenFrustum();
            cdlod.update();
            ASSERT_TRUE(checkCdlodInvariants(cdlod, problem)) << problem;
            int cells = 0;
            for (const CdlodArea& area : cdlod.selection()) {
                cells += area.cells * area.cells;
                levelsSeen |= 1 << area.level;
            }
            EXPECT_EQ(cells, 128 * 128) << "the areas tile the grid";
        }
    EXPECT_EQ(levelsSeen & 0xf, 0xf) << "levels 0-3 all drawn somewhere";

    // In the middle of the map looking east: what lies behind is culled.
    terrainErrorTolerance = 0.0f;
    lookFrom({64.0f, 30.0f, 64.0f, 128.0f, 0.0f, 64.0f});
    cdlod.update();
    ASSERT_TRUE(checkCdlodInvariants(cdlod, problem)) << problem;
    for (const CdlodArea& area : cdlod.selection())
        EXPECT_GT(area.x + area.cells, 30) << "area at " << area.x << " " << area.z << " lies behind the camera";
}

// draw() places every vertex where drawMesh (which the instrument
// measures) does: their depth pictures agree in a view where the morph is
// under way. The triangle count is the selection's per pass, as brute
// force counts, and the GL state is left as found.
TEST(CdlodDraw, DrawsWhatTheInstrumentMeasuresAndCountsPerPass) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    SavedSwitches saved;
    Ccdlod cdlod(8);
    std::string why;
    if (!cdlod.available(why)) GTEST_SKIP() << why;
    Cheightmap grid;
    fillMap(grid, 129, roughMap);
    ASSERT_TRUE(cdlod.setUp(grid, why)) << why;
    terrainErrorTolerance = 0.0f;
    lookFrom({64.0f, 40.0f, 140.0f, 64.0f, 0.0f, 40.0f});
    cdlod.update();

    // The view holds partly morphed vertices of sizeable height change.
    int morphing = 0;
    for (const CdlodArea& area : cdlod.selection()) {
        const CdlodNode& node = cdlod.nodes()[area.node];
        for (int j = 0; j <= cdlod.gridDim(); ++j)
            for (int i = 0; i <= cdlod.gridDim(); ++i) {
                const float x = static_cast<float>(node.x + (i << node.level)), z = static_cast<float>(node.z + (j << node.level));
                const float h = cdlod.fineHeight(area.node, i, j);
                const float k = cdlod.morphFactor(node.level, x, h, z);
                if (k > 0.05f && k < 0.95f && std::abs(cdlod.coarseHeight(area.node, i, j) - h) > 2.0f) ++morphing;
            }
    }
    EXPECT_GT(morphing, 20);

    baseTexture = 0;  // untextured: white
    setTerrainColour(255, 255, 255);
    auto depthPicture = [&](bool shader) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (shader) {
            splattingEnabled = 0;
            lightmapEnabled = 0;
            cdlod.draw();
        } else {
            glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
            glEnable(GL_CULL_FACE);
            glFrontFace(GL_CCW);
            glColor3f(1, 1, 1);
            cdlod.drawMesh();
            glPopAttrib();
        }
        glFinish();
        std::vector<float> depth(static_cast<size_t>(testViewSize) * testViewSize);
        glReadPixels(0, 0, testViewSize, testViewSize, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        return depth;
    };
    const std::vector<float> drawn = depthPicture(true), measured = depthPicture(false);
    int covered = 0, coverageDiffers = 0;
    float largest = 0.0f;
    for (size_t i = 0; i < drawn.size(); ++i) {
        const bool a = drawn[i] < 1.0f, b = measured[i] < 1.0f;
        covered += a;
        if (a != b) {
            ++coverageDiffers;
        } else if (a) {
            largest = std::max(largest, std::abs(drawn[i] - measured[i]));
        }
    }
    EXPECT_GT(covered, testViewSize * testViewSize / 2);
    EXPECT_LE(coverageDiffers, 2) << "pixels drawn by one and not the other";
    EXPECT_LT(largest, 1e-5f) << "window depth";

    // Counts and state for every switch combination: per pass, each area's
    // quads and its skirts (two triangles each way per quad along a side).
    int selected = 0, skirted = 0;
    for (const CdlodArea& area : cdlod.selection()) {
        const int quads = area.cells >> area.level;
        selected += 2 * quads * quads + 4 * quads * __builtin_popcount(area.skirts);
        skirted += area.skirts != 0;
    }
    EXPECT_EQ(cdlod.selectionTriangles(), selected);
    EXPECT_GT(skirted, 5) << "areas bordering other levels";
    const struct {
        int splatting, lightmap, passes;
    } combinations[] = {{0, 0, 1}, {1, 0, 2}, {0, 1, 2}, {1, 1, 3}};
    for (const auto& c : combinations) {
        splattingEnabled = c.splatting;
        lightmapEnabled = c.lightmap;
        glEnable(GL_CULL_FACE);
        glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
        cdlod.draw();
        EXPECT_EQ(cdlod.triangles(), selected * c.passes) << c.splatting << " " << c.lightmap;
        GLint program = -1, array = -1, elements = -1, attrib0 = -1, attrib1 = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &array);
        glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elements);
        glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &attrib0);
        glGetVertexAttribiv(1, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &attrib1);
        EXPECT_EQ(program, 0);
        EXPECT_EQ(array, 0);
        EXPECT_EQ(elements, 0);
        EXPECT_EQ(attrib0, 0);
        EXPECT_EQ(attrib1, 0);
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_FLOAT_EQ(colour[1], 0.5f);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glDisable(GL_CULL_FACE);
    }
    cdlod.reportTitle();
    char expectedTitle[128];
    snprintf(expectedTitle, sizeof expectedTitle, "CDLOD nodes %d levels ", cdlod.nodesDrawn());
    EXPECT_EQ(std::string(terrainReport.title).rfind(expectedTitle, 0), 0u) << terrainReport.title;
    cdlod.release();
    EXPECT_EQ(cdlod.nodesDrawn(), 0);
}

namespace {

// Level of the area drawing each cell (-1 where none does).
std::vector<int> cellLevels(const Ccdlod& cdlod) {
    const int cells = cdlod.size() - 1;
    std::vector<int> level(static_cast<size_t>(cells) * cells, -1);
    for (const CdlodArea& area : cdlod.selection())
        for (int z = area.z; z < area.z + area.cells; ++z)
            for (int x = area.x; x < area.x + area.cells; ++x) level[static_cast<size_t>(z) * cells + x] = area.level;
    return level;
}

struct CrackCount {
    int holes = 0;        // background pixels where terrain must be
    int underSquare = 0;  // pixels of the map square
    int levelBorders = 0; // cell edges between areas of different levels
};

// Draws the map (outline the square 0-(size - 1) at height 0, under the
// terrain everywhere) white on black from the eye and counts the background pixels
// that show through it: any inside the projected square, and, over the far
// hills, any enclosed by terrain within 2 pixels of a border between areas
// of different levels (where a crack would open; spiky far ridges may
// enclose background elsewhere).
CrackCount countCracks(Ccdlod& cdlod, const Eye& eye, const std::string& name) {
    lookFrom(eye);
    cdlod.update();
    splattingEnabled = 0;
    lightmapEnabled = 0;
    baseTexture = 0;
    setTerrainColour(255, 255, 255);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    cdlod.draw();
    glFinish();
    TestImage image = readFrameBuffer(testViewSize, testViewSize);
    const int w = image.width, h = image.height;

    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);

    CrackCount count;
    // Pixels near borders between levels, from the drawn heights there.
    const Surface surface = drawnSurface(cdlod);
    const std::vector<int> level = cellLevels(cdlod);
    const int cells = cdlod.size() - 1;
    std::vector<uint8_t> nearBorder(static_cast<size_t>(w) * h, 0);
    auto mark = [&](int x0, int z0, int x1, int z1) {
        double a[3], b[3];
        const float h0 = surface.height[static_cast<size_t>(z0) * surface.size + x0];
        const float h1 = surface.height[static_cast<size_t>(z1) * surface.size + x1];
        if (!gluProject(x0, h0, z0, model, projection, viewport, &a[0], &a[1], &a[2])) return;
        if (!gluProject(x1, h1, z1, model, projection, viewport, &b[0], &b[1], &b[2])) return;
        const int steps = 1 + static_cast<int>(2.0 * std::hypot(b[0] - a[0], b[1] - a[1]));
        for (int s = 0; s <= steps; ++s) {
            const double px = a[0] + (b[0] - a[0]) * s / steps, py = a[1] + (b[1] - a[1]) * s / steps;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const int x = static_cast<int>(px) + dx, y = static_cast<int>(py) + dy;
                    if (x >= 0 && y >= 0 && x < w && y < h) nearBorder[static_cast<size_t>(y) * w + x] = 1;
                }
        }
    };
    for (int z = 0; z < cells; ++z)
        for (int x = 0; x < cells; ++x) {
            const int here = level[static_cast<size_t>(z) * cells + x];
            if (here < 0) continue;
            if (x + 1 < cells && level[static_cast<size_t>(z) * cells + x + 1] >= 0 &&
                level[static_cast<size_t>(z) * cells + x + 1] != here) {
                mark(x + 1, z, x + 1, z + 1);
                ++count.levelBorders;
            }
            if (z + 1 < cells && level[static_cast<size_t>(z + 1) * cells + x] >= 0 &&
                level[static_cast<size_t>(z + 1) * cells + x] != here) {
                mark(x, z + 1, x + 1, z + 1);
                ++count.levelBorders;
            }
        }

    const double last = cdlod.size() - 1;
    const double corners[4][2] = {{0, 0}, {0, last}, {last, last}, {last, 0}};
    double sx[4], sy[4];
    for (int i = 0; i < 4; ++i) {
        double wz;
        gluProject(corners[i][0], 0.0, corners[i][1], model, projection, viewport, &sx[i], &sy[i], &wz);
    }
    double area = 0;
    for (int i = 0; i < 4; ++i) area += sx[i] * sy[(i + 1) % 4] - sx[(i + 1) % 4] * sy[i];
    auto insideBy = [&](double px, double py) {
        double least = 1e9;
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            const double ex = sx[j] - sx[i], ey = sy[j] - sy[i];
            least = std::min(least, (ex * (py - sy[i]) - ey * (px - sx[i])) * (area > 0 ? 1 : -1) / std::hypot(ex, ey));
        }
        return least;
    };
    auto white = [&](int x, int y) {
        const uint8_t* rgb = &image.rgb[(static_cast<size_t>(y) * w + x) * 3];
        return rgb[0] == 255 && rgb[1] == 255 && rgb[2] == 255;
    };
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
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inSquare = insideBy(x + 0.5, y + 0.5) >= 1.5;
            count.underSquare += inSquare;
            if (white(x, y)) continue;
            if (!inSquare && (sky[y * w + x] || !nearBorder[static_cast<size_t>(y) * w + x])) continue;
            ++count.holes;
            uint8_t* m = &marked.rgb[(static_cast<size_t>(y) * w + x) * 3];
            m[0] = 255;
            m[1] = m[2] = 0;
        }
    writePpm(testOutput(name + ".ppm").string(), image);
    if (count.holes) writePpm(testOutput(name + "-marked.ppm").string(), marked);
    return count;
}

}  // namespace

// No background through the terrain over steep ground, at tolerances 0, 1
// and 4, from eyes that put the morph of the ranges at every stage: some
// vertices not yet morphing, some part way, some fully morphed onto the
// coarser mesh where areas of different levels meet.
TEST(CdlodRender, ShowsNoCracksWithTheMorphAtEveryStage) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    SavedSwitches saved;
    Ccdlod cdlod(8);
    std::string why;
    if (!cdlod.available(why)) GTEST_SKIP() << why;
    // The steepest ground at the fixed ranges; smooth but steep hills where
    // a tolerance asks for long ranges (the rough map's errors keep every
    // area at level 0 there), on a map large enough for several levels.
    const struct {
        const char* name;
        int (*map)(int, int);
        int size;
        float tolerance;
    } cases[] = {{"rough-0", roughMap, 129, 0.0f},
                 {"hills-1", smoothHills257, 257, 1.0f},
                 {"hills-4", smoothHills, 129, 4.0f},
                 {"hills-4-257", smoothHills257, 257, 4.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << ": tolerance " << c.tolerance);
        Cheightmap grid;
        fillMap(grid, c.size, c.map);
        ASSERT_TRUE(cdlod.setUp(grid, why)) << why;
        terrainErrorTolerance = c.tolerance;
        // Eyes along the map's south edge and beyond it, looking north
        // (the view scaled with the map).
        const float n = static_cast<float>(c.size - 1) / 128.0f;
        const Eye eyes[] = {
            {64.0f * n, 35.0f * n, 122.0f * n, 64.0f * n, 0.0f, 40.0f * n},
            {60.0f * n, 38.0f * n, 127.0f * n, 64.0f * n, 0.0f, 40.0f * n},
            {68.0f * n, 42.0f * n, 133.0f * n, 64.0f * n, 0.0f, 40.0f * n},
            {64.0f * n, 48.0f * n, 140.0f * n, 64.0f * n, 0.0f, 45.0f * n},
            {64.0f * n, 55.0f * n, 150.0f * n, 64.0f * n, 0.0f, 50.0f * n},
            {64.0f * n, 65.0f * n, 165.0f * n, 64.0f * n, 0.0f, 55.0f * n},
        };
        int stages[4] = {0, 0, 0, 0};  // k = 0, 0 < k < 0.5, 0.5 <= k < 1, k = 1
        int levelBorders = 0;
        for (size_t e = 0; e < std::size(eyes); ++e) {
            const std::string name = std::string("cdlod-cracks-") + c.name + "-" + std::to_string(e);
            const CrackCount count = countCracks(cdlod, eyes[e], name);
            EXPECT_GT(count.underSquare, testViewSize * testViewSize / 3) << name;
            EXPECT_EQ(count.holes, 0) << "background through the terrain; see " << testOutput(name + "-marked.ppm");
            levelBorders += count.levelBorders;
            for (const CdlodArea& area : cdlod.selection()) {
                if (area.level == cdlod.topLevel()) continue;
                const CdlodNode& node = cdlod.nodes()[area.node];
                for (int j = 0; j <= cdlod.gridDim(); ++j)
                    for (int i = 0; i <= cdlod.gridDim(); ++i) {
                        if (cdlod.coarseHeight(area.node, i, j) == cdlod.fineHeight(area.node, i, j)) continue;
                        const float k = cdlod.morphFactor(node.level, static_cast<float>(node.x + (i << node.level)),
                                                          cdlod.fineHeight(area.node, i, j),
                                                          static_cast<float>(node.z + (j << node.level)));
                        ++stages[k <= 0.0f ? 0 : k < 0.5f ? 1 : k < 1.0f ? 2 : 3];
                    }
            }
        }
        EXPECT_GT(levelBorders, 20) << "areas of different levels meet in view";
        for (int s = 0; s < 4; ++s) EXPECT_GT(stages[s], 0) << "morph stage " << s;
        printf("%s: borders between levels %d, vertices by morph stage %d %d %d %d\n", c.name, levelBorders, stages[0],
               stages[1], stages[2], stages[3]);
    }
}

// The camera flies in small steps over rough ground, through every range
// boundary: between two frames no point of the drawn surface moves by more
// than its share of the morph (the steepest morph rate times the step), so
// areas change level without a step.
TEST(CdlodMorph, MovesEveryPointContinuouslyAcrossRangeBoundaries) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    SavedSwitches saved;
    Cheightmap grid;
    fillMap(grid, 129, roughMap);
    Ccdlod cdlod(8);
    std::string why;
    ASSERT_TRUE(cdlod.setUp(grid, why)) << why;
    terrainErrorTolerance = 0.0f;
    const float step = 0.5f;
    auto fly = [&](int frame) {
        const float z = 230.0f - step * static_cast<float>(frame);
        lookFrom({40.0f, 30.0f, z, 40.0f, 0.0f, z - 50.0f});
        setOpenFrustum();  // every area, so every point is drawn in every frame
        cdlod.update();
    };
    fly(0);
    Surface last = drawnSurface(cdlod);
    float largest = 0.0f, largestShare = 0.0f;
    int switches = 0, wouldStep = 0, frames = 0;
    for (int frame = 1; 230.0f - step * static_cast<float>(frame) > -100.0f; ++frame, ++frames) {
        fly(frame);
        std::string problem;
        ASSERT_TRUE(checkCdlodInvariants(cdlod, problem)) << problem;
        const Surface now = drawnSurface(cdlod);
        for (size_t i = 0; i < now.height.size(); ++i) {
            ASSERT_FALSE(std::isnan(now.height[i])) << "grid point " << i << " not drawn";
            const float jump = std::abs(now.height[i] - last.height[i]);
            // Its share of the morph: the camera moved by step.
            const float allowed = std::max(now.rate[i], last.rate[i]) * step * 1.01f + 1e-4f;
            largest = std::max(largest, jump);
            largestShare = std::max(largestShare, jump / allowed);
            if (now.level[i] != last.level[i]) {
                ++switches;
                // Without the morph the point would jump by the whole morph
                // height of its vertices there.
                if (last.rate[i] * (cdlod.range(last.level[i]) - cdlod.morphStart(last.level[i])) > 20.0f * allowed)
                    ++wouldStep;
            }
            if (jump > allowed) {
                ADD_FAILURE() << "frame " << frame << ": grid point (" << i % 129 << ", " << i / 129 << ") moves by "
                              << jump << ", more than its share " << allowed << " (level " << last.level[i] << " to "
                              << now.level[i] << ")";
                return;
            }
        }
        last = now;
    }
    // The flight crossed many boundaries where a change of level without
    // the morph would have been a step twenty times the share.
    EXPECT_GT(switches, 5000);
    EXPECT_GT(wouldStep, 1000);
    printf("%d frames, %d level changes of a point (%d where a step would show), largest move %.4f, "
           "at most %.2f of its share\n",
           frames, switches, wouldStep, largest, largestShare);
}

// At a 1 px tolerance on generated 257 maps, from views at 1024 x 768 with
// the program's 45-degree field: the instrument's 95th percentile is at
// most 1 px and its maximum at most 2 px. On the detailed map every level
// above 0 is more than a pixel off within the map's extent, so what is
// drawn is level 0 culled to the view; on the smoother one coarser levels
// and their morph come into view.
TEST(CdlodError, StaysWithinOnePixelAtOnePixelTolerance) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    SavedSwitches saved;
    Ccdlod cdlod;
    std::string why;
    if (!cdlod.available(why)) GTEST_SKIP() << why;
    baseTexture = makeTestTexture(64, 64, true, [](int x, int y, uint8_t* rgb) {
        rgb[0] = static_cast<uint8_t>((x * 4) & 255);
        rgb[1] = static_cast<uint8_t>(((x / 4 + y / 4) % 2) ? 200 : 60);
        rgb[2] = static_cast<uint8_t>((y * 4) & 255);
    });
    lightmapTexture = makeTestTexture(16, 16, false, [](int x, int y, uint8_t* rgb) {
        rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(128 + 8 * ((x + y) % 16));
    });
    terrainErrorTolerance = 1.0f;
    const Eye views[] = {
        {128.0f, 70.0f, 128.0f, 220.0f, 40.0f, 30.0f},  // in the middle, looking over the hills
        {10.0f, 60.0f, 10.0f, 200.0f, 20.0f, 200.0f},   // from a corner across the map
        {128.0f, 120.0f, 300.0f, 128.0f, 0.0f, 128.0f}, // from beyond the edge, high
        {60.0f, 45.0f, 200.0f, 90.0f, 35.0f, 150.0f},   // low, near ground ahead
        {-150.0f, 90.0f, -150.0f, 128.0f, 0.0f, 128.0f}, // far beyond a corner
    };
    const int bruteTriangles = 2 * 256 * 256;
    int coarserViews = 0;
    for (int (*map)(int, int) : {generatedMap, smoothGeneratedMap})
    for (const Eye& eye : views) {
        SCOPED_TRACE(testing::Message() << (map == generatedMap ? "detailed" : "smooth") << " map, eye " << eye.x
                                        << " " << eye.y << " " << eye.z);
        Cheightmap grid;
        fillMap(grid, 257, map);
        ASSERT_TRUE(cdlod.setUp(grid, why)) << why;
        const TerrainView view = lookFrom(eye, 1024, 768, 45.0);
        cdlod.update();
        std::string problem;
        ASSERT_TRUE(checkCdlodInvariants(cdlod, problem)) << problem;
        const int triangles = cdlod.selectionTriangles();
        TerrainErrorResult result;
        ASSERT_TRUE(measureMeshError(grid, drawCdlodMesh, &cdlod, view, result, why)) << why;
        EXPECT_GT(result.meshPixels, 100000u);
        EXPECT_LE(result.geometricP95, 1.0);
        EXPECT_LE(result.geometricMax, 2.0);
        bool coarser = false;
        for (const CdlodArea& a : cdlod.selection()) coarser = coarser || a.level > 0;
        coarserViews += coarser;
        printf("%s, eye %.0f %.0f %.0f: 95th percentile %.3f px, maximum %.3f px, differing pixels %.4f, "
               "%d triangles (%.1f %% of brute force), %d areas, levels %s\n",
               map == generatedMap ? "detailed" : "smooth", eye.x, eye.y, eye.z, result.geometricP95, result.geometricMax, result.imageShare, triangles,
               100.0 * triangles / bruteTriangles, cdlod.nodesDrawn(),
               [&] {
                   std::string levels;
                   for (const CdlodArea& a : cdlod.selection())
                       if (levels.find(std::to_string(a.level)) == std::string::npos) levels += std::to_string(a.level);
                   return levels;
               }()
                   .c_str());
    }
    EXPECT_GE(coarserViews, 2) << "views with areas above level 0";
    const GLuint textures[2] = {baseTexture, lightmapTexture};
    glDeleteTextures(2, textures);
    baseTexture = lightmapTexture = 0;
}

namespace {

// The scene's six terrain textures, small and synthetic: two detail
// layers split west and east by their coverage maps, a lined base texture
// and a lightmap with a dark diagonal band.
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

}  // namespace

// Brute force's passes over CDLOD's mesh: splatted and lit, at 1 and 4 px,
// the picture is brute force's but for a few pixels where the coarser
// mesh shifts a texel; the pictures are kept for a person to look at.
TEST(CdlodRender, TexturedLooksLikeBruteForce) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    SavedSwitches saved;
    Ccdlod cdlod(8);
    std::string why;
    if (!cdlod.available(why)) GTEST_SKIP() << why;
    makeTerrainTextures();
    setTerrainColour(255, 255, 255);
    fillMap(bruteTerrain, 257, smoothGeneratedMap);
    ASSERT_TRUE(cdlod.setUp(bruteTerrain, why)) << why;
    splattingEnabled = 1;
    lightmapEnabled = 1;
    const Eye eye{30.0f, 70.0f, 240.0f, 150.0f, 20.0f, 100.0f};
    auto picture = [&](bool brute) {
        lookFrom(eye);
        glClearColor(0.2f, 0.3f, 0.8f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (brute) {
            renderBruteForce();
        } else {
            cdlod.update();
            cdlod.draw();
        }
        resetTerrainTextures();
        glFinish();
        return readFrameBuffer(testViewSize, testViewSize);
    };
    const TestImage reference = picture(true);
    writePpm(testOutput("cdlod-textured-brute.ppm").string(), reference);
    for (float tolerance : {1.0f, 4.0f}) {
        terrainErrorTolerance = tolerance;
        const TestImage image = picture(false);
        TestImage diff;
        const double share = compareImages(image, reference, 16, &diff);
        const std::string name = "cdlod-textured-" + std::to_string(static_cast<int>(tolerance)) + "px";
        writePpm(testOutput(name + ".ppm").string(), image);
        writePpm(testOutput(name + "-diff.ppm").string(), diff);
        int levels = 0;
        for (const CdlodArea& area : cdlod.selection()) levels |= 1 << area.level;
        EXPECT_GE(__builtin_popcount(levels), 2) << "levels mixed at " << tolerance << " px";
        EXPECT_LT(share, tolerance <= 1.0f ? 0.02 : 0.05) << name;
        EXPECT_EQ(cdlod.triangles(), 3 * cdlod.selectionTriangles());
        printf("%s: %.4f of the pixels differ from brute force, %d triangles against brute force's %d\n",
               name.c_str(), share, cdlod.triangles(), 3 * bruteTerrain.triangleCount);
    }
    releaseTerrainTextures();
    bruteTerrain.release();
}

// The program's instance is registered after ROAM 2.0 as 604, "CDLOD",
// selected by "cdlod", and honours the tolerance.
TEST(CdlodRegistry, IsTheEntryAfterRoam) {
    const std::vector<TerrainAlgorithm*>& all = terrainAlgorithms();
    const auto roam = std::find(all.begin(), all.end(), findTerrainAlgorithm(603));
    ASSERT_NE(roam, all.end());
    ASSERT_NE(roam + 1, all.end());
    EXPECT_EQ(*(roam + 1), &cdlodAlgorithm());
    EXPECT_EQ(findTerrainAlgorithm(604), &cdlodAlgorithm());
    EXPECT_EQ(matchTerrainAlgorithm("cdlod"), &cdlodAlgorithm());
    EXPECT_STREQ(cdlodAlgorithm().menuLabel(), "CDLOD");
    EXPECT_STREQ(cdlodAlgorithm().name(), "cdlod");
    EXPECT_TRUE(cdlodAlgorithm().honoursTolerance());
    EXPECT_TRUE(cdlodAlgorithm().drawsTerrain());
}
