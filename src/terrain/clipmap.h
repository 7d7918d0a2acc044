// clipmap.h -- geometry clipmaps: nested regular grids centred on the viewer,
// refreshed incrementally as it moves (Losasso and Hoppe 2004).
//
// Provides: ClipmapLevel, ClipmapFootprint, ClipmapItem, Cclipmap (the
// terrain algorithm "clipmap", id 605), clipmapAlgorithm (the registered
// entry), clipmapLevelsFor, checkClipmap (the invariant checker the tests
// use).
//
// Levels. Level l = 0 (finest) .. levels - 1 is a grid of n x n vertices
// (n = 2^k - 1, 15 .. 1023; 255 by default) with a spacing of 2^l grid
// cells. A level's lattice is the grid's every 2^l-th sample; its window is
// the lattice points origin .. origin + n - 1 on each axis (origin in units of
// the level's spacing). Level 0's origin is the even lattice point that
// puts the window's centre vertex ((n - 1) / 2) nearest the viewer; each
// coarser origin is the even one of (finer origin / 2 - (m - 1), finer
// origin / 2 - m), m = (n + 1) / 4, so every origin lies on the next coarser
// level's vertices and every window's centre is within one of its own cells
// of the viewer. Enough levels are kept for the coarsest window to cover the
// whole map from any viewer position on it ((n - 1) / 2 - 1 of its cells
// reach the map's far corner); the viewer is clamped to the map, so a viewer
// outside the map sees the whole map too.
//
// Heights. Each level takes the grid's samples at its spacing (sample every
// 2^l-th; no filtering), so level 0 is the full grid and draws every
// sample. Per level a float texture of n x n texels holds, for each lattice
// point of the window, its height (world units) and the height of the next
// coarser level's surface there (its sample on the coarser lattice, the mean
// of the two coarser neighbours on a coarser edge, the mean of the coarser
// cell's diagonal, from (x, z + s) to (x + s, z), at a coarser cell's centre).
// The texel of lattice point g is g mod n on each axis (toroidal addressing):
// when the window moves, only the texels of the rows and columns that came
// into it are rewritten (on the CPU mirror, then uploaded with
// glTexSubImage2D); a jump of n or more lattice points refills the level.
// samplesWritten() counts the texels written by the last update.
//
// Footprints. Every level is drawn from a fixed set of footprints, regular
// grids of local lattice points held in one static vertex buffer and one
// index buffer built when n is chosen: m x m blocks (12 per ring at local
// offsets 0, m - 1, 2m, 3m - 1, less the middle four), 3 x m and m x 3
// fix-up strips in the middle of each side, and the L-shaped interior trim
// (a 2 x (2m + 1) column and a 2m x 2 row) on the sides where the finer
// window sits one cell off the middle. Level 0 also draws the middle: four
// more blocks, four fix-up strips and a 3 x 3 centre, so it is a full square.
// Each footprint is placed and scaled in a GLSL 1.20 vertex shader (uniform
// origin and spacing; heights from the level's texture, fetched in the
// vertex stage); a frame uploads no geometry. Every cell is split along
// (x, z + 1) - (x + 1, z) like brute force's strips, so level 0 draws
// exactly brute force's triangles.
//
// Map edge. Lattice points outside the map are moved onto its edge (clamped
// to 0 .. size - 1, taking the edge point's height and blend), so nothing is
// drawn beyond the edge; footprints wholly outside the map or outside the
// view frustum (box of the footprint with the grid's height range) are not
// drawn. On a map of 2^p + 1 samples (every scene map) the edge lies on every
// level's lattice and the edge is closed exactly.
//
// Transition. In the outer w = n / 10 cells of each level but the coarsest,
// a vertex's height is blended toward the coarser surface:
//     alpha = max over x, z of clamp((|g - v| - ((n - 1) / 2 - w - 1)) / w, 0, 1),
//     y = fine * (1 - alpha) + coarse * alpha,
// with g the lattice point and v the (clamped) viewer in the level's units.
// alpha is 1 on the window's outer boundary (forced there, and reached by
// the formula wherever the boundary can be), and 0 on every coarser vertex
// bordering the finer window, so where levels meet both draw the coarser
// surface with bit-identical shared vertices. The finer boundary's odd
// vertices then lie on the coarser edges (T-junctions): each is sealed by a
// zero-area triangle (two even boundary vertices and the odd one between,
// wound as the finer level's front faces) along every level's outer edge but
// the coarsest's, drawn and counted with the level.
//
// Error tolerance. With terrainErrorTolerance 0, n = 255. Above 0, n is the
// smallest 2^k - 1 (15 .. 1023) for which every level l >= 1 meets
//     levelError(l) * frustumPixelsPerUnit / r(l) <= tolerance,
// levelError(l) the largest vertical distance (world units) over the whole
// map from any grid sample to level l's surface (measured at set-up), and
// r(l) = ((n - 1) / 2 - 1) * 2^(l - 1) cells (times the smaller of xScale and
// zScale) the nearest horizontal distance of level l's inner edge from the
// viewer; 1023 when none does. The blended outer band of level l - 1 carries
// at most alpha times level l's error and lies nearer, but alpha / distance
// is largest at the inner edge, so the rule covers it. The rings do not
// follow the ground: the tolerance is met only as far as this rule holds
// (a pixel's eye depth may be below its horizontal distance toward the
// screen's sides; a level's largest error is charged everywhere on the
// ring); the fidelity instrument reports what is reached.
//
// Texturing and counts: the passes brute force draws (splatting.h; the two
// splatting passes or the base texture, then the lightmap pass, as
// splattingEnabled and lightmapEnabled ask), each drawing every footprint of
// the frame; triangles() is the sum over the passes of the triangles sent
// (zero-area seals included), as brute force counts each pass's triangles.
//
// drawMesh sends the same footprints with the same lattice points, heights
// and blend, computed on the CPU from the texture's mirror (world
// positions through the fixed-function pipeline, no program), so the
// instrument measures what draw drew.
//
// Needs: GLSL 1.20 with vertex texture fetch, float textures
// (GL_ARB_texture_float), buffer objects; available() says which is missing.
// Main thread, with the rendering context current (terrainAlgorithm.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "terrain/terrainAlgorithm.h"

class Cheightmap;

// Smallest and largest n the tolerance rule may choose; the fixed n.
constexpr int clipmapSmallestSize = 15;
constexpr int clipmapLargestSize = 1023;
constexpr int clipmapDefaultSize = 255;

// Levels needed for windows of n vertices to cover a map of size samples
// from any viewer on it.
int clipmapLevelsFor(int n, int size);

struct ClipmapLevel {
    int spacing = 1;             // grid cells between lattice points, 2^l
    int origin[2] = {0, 0};      // window's first lattice point (x, z), level units
    int stored[2] = {0, 0};      // origin the texture holds; valid once filled
    bool filled = false;         // the texture holds a whole window
    int trimHigh[2] = {0, 0};    // 1: the finer window sits low, trim on the high side (x, z)
    int lastLattice = 0;         // largest lattice index on the map: ceil((size - 1) / spacing)
    float viewer[2] = {0, 0};    // viewer in level units (grid / spacing), clamped to the map
    unsigned texture = 0;        // GL texture name; 0 until made
    std::vector<float> mirror;   // n * n texels of (height, coarser height), texel order
};

// A footprint: a regular grid of width x depth local lattice points.
struct ClipmapFootprint {
    int width = 0, depth = 0;
    bool seal = false;               // the zero-area seal triangles of a level's outer edge
    unsigned firstVertex = 0;        // in the vertex buffer
    unsigned firstIndex = 0;         // in the index buffer
    unsigned indexCount = 0;
};

// One footprint placed in a level for this frame.
struct ClipmapItem {
    int footprint = 0;
    int level = 0;
    int local[2] = {0, 0};  // footprint's first point within the window (level units)
};

class Cclipmap : public TerrainAlgorithm {
public:
    Cclipmap() = default;
    ~Cclipmap() override;

    int id() const override { return 605; }
    const char* menuLabel() const override { return "Geometry Clipmaps"; }
    const char* name() const override { return "clipmap"; }
    std::vector<std::string> keywords() const override { return {"clipmap"}; }
    bool honoursTolerance() const override { return true; }
    bool available(std::string& why) const override;

    bool setUp(const Cheightmap& grid, std::string& failure) override;
    void release() override;
    const Cheightmap* heightGrid() const override { return heights; }
    void update() override;
    void draw() override;
    int triangles() const override { return drawnTriangles; }
    void reportTitle() override;
    void drawMesh() override;

    // Tests and experiments: a fixed n (2^k - 1, 15 .. 1023) instead of
    // the tolerance rule; 0 (the default) keeps the rule.
    int fixedSize = 0;

    // The n the tolerance rule gives (255 at tolerance 0) for pixels per
    // unit at distance 1 (frustumPixelsPerUnit).
    int sizeFor(float tolerance, float pixelsPerUnit) const;

    // State of the last update, for the title, the tests and the checker.
    int size() const { return n; }
    int levelCount() const { return static_cast<int>(levelState.size()); }
    const ClipmapLevel& level(int l) const { return levelState[static_cast<size_t>(l)]; }
    const std::vector<ClipmapItem>& items() const { return frameItems; }
    const std::vector<ClipmapFootprint>& footprints() const { return footprintSet; }
    // Largest vertical distance (world units) of level l's surface from the
    // grid's samples; 0 for level 0.
    float levelError(int l) const;
    int samplesWritten() const { return lastSamplesWritten; }
    int trianglesPerPass() const { return passTriangles; }
    const Cheightmap* grid() const { return heights; }
    // Local lattice point k of footprint f (x, z).
    void footprintPoint(int f, unsigned k, int& x, int& z) const;
    const std::vector<unsigned>& footprintIndices() const { return localIndices; }

    // World position of level l's lattice point (gx, gz) as drawn: clamped
    // to the map, height from the mirror blended as the shader does.
    void vertexPosition(int l, int gx, int gz, float out[3]) const;

private:
    const Cheightmap* heights = nullptr;
    int n = 0;                                  // 0 until the first update
    int transitionWidth = 1;                    // w
    std::vector<ClipmapLevel> levelState;
    std::vector<ClipmapFootprint> footprintSet;
    std::vector<float> localPoints;             // x, z per vertex of every footprint
    std::vector<unsigned> localIndices;         // per footprint, relative to its first vertex
    std::vector<ClipmapItem> frameItems;
    std::vector<float> errors;                  // levelError by level
    float lowest = 0.0f, highest = 0.0f;        // grid's height range, world units
    unsigned vertexBuffer = 0, indexBuffer = 0, program = 0;
    int programTried = 0;
    // Uniform locations: heights, scale, coords, block, origin, viewer, lattice, blend.
    int uniforms[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int drawnTriangles = 0, passTriangles = 0, lastSamplesWritten = 0;
    std::vector<float> scratch;                 // drawMesh positions

    void measureLevelErrors();
    void build(int newSize);
    void buildFootprints();
    void freeGl();
    bool prepareGl();
    void placeLevels(float viewerX, float viewerZ);
    void refreshLevel(int l);
    void writeTexel(int l, int gx, int gz);
    void uploadColumns(int l, int first, int count);
    void uploadRows(int l, int first, int count);
    void ringLayout(int l, std::vector<ClipmapItem>& out) const;
    void chooseItems();
    void drawItems(bool twoSets, float repeat);
    static void drawPass(void* context, int multiTex, float repeat);
    friend std::string checkClipmap(const Cclipmap& clipmap);
};

// The registry's entry (terrainRegistry.cpp): one object for the program.
Cclipmap& clipmapAlgorithm();

// "" when the clipmap's state after an update holds every invariant above:
// n = 2^k - 1 in range, the level count covers the map, origins even and
// nested at m - 1 or m with the trim on the matching side, every window's
// centre within one cell of the viewer, each texture mirror equal to the
// grid's samples and coarser surface for every lattice point of its window
// (toroidal addressing), and the footprints of each level covering its ring
// (level 0: its square) exactly once, cell by cell. Otherwise what is wrong.
std::string checkClipmap(const Cclipmap& clipmap);
