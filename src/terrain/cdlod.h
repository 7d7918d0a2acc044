// cdlod.h -- CDLOD terrain: a quadtree of one square grid mesh, chosen by
// camera distance and morphed continuously between levels (continuous
// distance-dependent level of detail, Strugar 2009).
//
// Provides: CdlodNode, CdlodArea, Ccdlod (the TerrainAlgorithm; menu
// "CDLOD", keyword "cdlod", id 604), cdlodAlgorithm (the program's instance),
// checkCdlodInvariants.
//
// The quadtree. The grid's size - 1 must be a power of two. A node at level
// L (0 = leaf) covers gridDim * 2^L cells; the root's level is
// topLevel() = log2((size - 1) / gridDim) (gridDim is lowered to size - 1 on
// grids smaller than one leaf). Every node, whatever its level, is drawn
// with the same mesh of gridDim x gridDim quads, each 2^L cells wide, so a
// leaf is drawn through every sample. Each quad is split along its diagonal
// from (x, z) to (x + 2^L, z + 2^L); a quad of the next coarser level is
// split the same way, so every fine triangle lies inside one coarse one.
// Each node keeps the lowest and highest sample under it (inclusive of its
// border: its culling and distance box) and its largest vertical error: the
// most any sample under it lies above or below its level's mesh surface.
// The error of a level is the largest of its nodes', and never less than
// the finer level's.
//
// Ranges (world units, 3-D distance from the camera). Level L is used
// within r_L of the camera; the root's range is unbounded. With the error
// tolerance (terrainErrorTolerance) at 0 the rule is fixed: r_0 is four
// leaf widths (4 * gridDim * max(xScale, zScale)), doubling per level. With
// a tolerance above 0, r_L is the smallest distance at which the error of
// the level its morph leads to, level L + 1's largest error e_(L+1),
// projected on screen, is within the tolerance: r_L = e_(L+1) * p /
// tolerance, where p is frustumPixelsPerUnit times the factor
// sqrt(1 + tan^2(fovx / 2) + tan^2(fovy / 2)) by which a point in the
// view's corner is nearer in eye depth than in distance. Inside the morph
// (k from 0 at m_L to 1 at r_L) the coarser mesh's share, k * e_(L+1) * p
// / d, stays within the tolerance, and the whole error within about 1.09
// times it (at d between m_L and r_L, with the finer level's error within
// the tolerance there too). Both rules then hold every range at least
// twice the finer one, and at least r_(L-1) + diag_(L-1) / (1 - morphShare),
// diag being the largest 3-D box diagonal of a level's nodes (see "No
// cracks"). The ranges follow the viewport and projection: update
// recomputes them every frame.
//
// Selection (update), walked from the root, with the camera snapshot
// (frameCameraX/Y/Z) and the frustum planes (camera/frustum.h): a node
// whose box does not reach within its range is left to its parent; one
// outside the frustum is dropped; a leaf, or a node whose box does not
// reach within the next finer range, is drawn whole at its level;
// otherwise its children are visited, and the quarter of a child that
// declined (outside the finer range) is drawn at this node's level with
// that quarter of the mesh. The areas drawn never overlap; with an open
// frustum they tile the grid.
//
// Morphing. Within the last morphShare (30 %) of each range, from
// m_L = r_(L-1) + (1 - morphShare) * (r_L - r_(L-1)) (r_-1 = 0) to r_L,
// every vertex of a level-L area moves toward the coarser mesh: its height
// y = h * (1 - k) + c * k, with k = clamp((d - m_L) / (r_L - m_L), 0, 1),
// d the distance from the camera to the vertex at its own sample height h,
// and c its height in level L + 1's mesh: h for vertices on that mesh,
// the mean of the two neighbours along x, along z, or along the coarse
// quad's diagonal for the others. x and z never move, so the texture
// coordinates stay those of brute force. At k = 1 the mesh is exactly the
// coarser one. The morph runs in a GLSL 1.20 vertex shader (per vertex,
// heights as two vertex attributes per node); the same arithmetic runs on
// the CPU for drawMesh, so the instrument measures the positions drawn.
//
// No cracks. A level-L area borders only level L - 1, L or L + 1 areas.
// Where it borders L + 1, every point of the border is beyond r_L (the
// coarser area's box does not reach r_L), so the level-L vertices there
// have k = 1 and lie on the coarser area's edges; and every point of the
// border is within r_L + diag_L of the camera (it lies in a level-L node
// that reaches r_L), which is at most m_(L+1), so the coarser area's
// vertices there have k = 0. Shared vertices of equal levels compute the
// same k. So neighbours meet without cracks: the finer side's extra border
// vertices lie exactly on the coarser side's edges. The rasteriser snaps
// such a T-junction vertex to its sub-pixel grid, which can leave a pixel
// centre in the sliver between the two sides now and then; so each side of
// an area that borders an area of another level (never the map's outer
// border) also draws a skirt: a strip hanging skirtShare of a quad width
// straight down from the side, both faces (rising to the surface where
// the side meets the map's border, which nothing outside would hide). It
// is hidden under the terrain on either side everywhere but in such a
// sliver. Skirts are counted in the triangles and sent to the instrument
// like the rest.
//
// Texturing: brute force's passes (splatting.h) over the selected areas,
// honouring splattingEnabled and lightmapEnabled; uniformTexturing changes
// nothing. Texture coordinates s = x / size, t = z / size. Triangles are
// counted per pass, as brute force counts them.
//
// Title: "CDLOD nodes n levels a-b range r": areas drawn, finest and
// coarsest level drawn, r_0 in world units.
//
// Main thread, rendering context current (terrain/terrainAlgorithm.h).
// Needs GLSL 1.20 vertex shaders and GL 1.5 buffers; available() says so
// where they are missing.
#pragma once

#include <string>
#include <vector>

#include "terrain/heightmap.h"
#include "terrain/terrainAlgorithm.h"

struct CdlodNode {
    int x = 0, z = 0;       // first grid point (grid units)
    int level = 0;          // 0 = leaf
    int cells = 0;          // grid cells per side: gridDim << level
    float minY = 0.0f;      // lowest and highest sample height under the node (world units)
    float maxY = 0.0f;
    float error = 0.0f;     // largest vertical distance of a sample from the node's mesh (world units)
    int children[4] = {-1, -1, -1, -1};  // child i covers x + (i & 1) * cells / 2, z + (i >> 1) * cells / 2
    size_t firstVertex = 0;  // its vertices' heights: grid points in rows of constant z, then skirt points
};

// One area of the last selection: a whole node (quarter -1) or a quarter of
// one (quarter i is child i's square), drawn at the node's level.
struct CdlodArea {
    int node = 0;
    int quarter = -1;
    int level = 0;
    int x = 0, z = 0;  // first grid point
    int cells = 0;     // grid cells per side
    int skirts = 0;    // sides with a skirt: 1 west (x), 2 east, 4 south (z), 8 north
};

class Ccdlod : public TerrainAlgorithm {
public:
    static constexpr int defaultGridDim = 32;
    static constexpr float morphShare = 0.3f;  // morphing part of each range
    static constexpr float skirtShare = 0.25f; // skirt depth in quad widths

    explicit Ccdlod(int gridDim = defaultGridDim);
    ~Ccdlod() override;
    Ccdlod(const Ccdlod&) = delete;
    Ccdlod& operator=(const Ccdlod&) = delete;

    int id() const override { return 604; }
    const char* menuLabel() const override { return "CDLOD"; }
    const char* name() const override { return "cdlod"; }
    std::vector<std::string> keywords() const override { return {"cdlod"}; }
    bool honoursTolerance() const override { return true; }
    bool available(std::string& why) const override;
    bool setUp(const Cheightmap& grid, std::string& failure) override;
    void release() override;
    void update() override;
    void draw() override;
    int triangles() const override { return drawnTriangles; }
    void reportTitle() override;
    void drawMesh() override;

    // What the tests and the checker read.
    int gridDim() const { return dim; }
    int topLevel() const { return top; }
    int levelCount() const { return top + 1; }
    float range(int level) const;       // r_L; infinite for the top level
    float morphStart(int level) const;  // m_L; infinite for the top level
    float levelError(int level) const { return levelErrors[level]; }
    float levelDiagonal(int level) const { return levelDiagonals[level]; }
    // Largest |c - h| over the vertices of a level's nodes (world units).
    float levelMorphHeight(int level) const { return levelAmplitudes[level]; }
    const std::vector<CdlodNode>& nodes() const { return tree; }
    const std::vector<CdlodArea>& selection() const { return areas; }
    const float* eye() const { return eyePosition; }
    // Fine and coarse height of vertex (i, j) (quads from the node's first
    // grid point) of a node.
    float fineHeight(int node, int i, int j) const;
    float coarseHeight(int node, int i, int j) const;
    // The morph factor k of a level-L vertex at world (x, h, z) for the
    // last update's camera and ranges.
    float morphFactor(int level, float x, float h, float z) const;
    // The last selection's triangles as drawn: 9 floats (3 world positions)
    // per triangle, area by area, each area's surface (counter-clockwise
    // seen from above) then its skirts (both faces) unless withSkirts is
    // false.
    void morphedMesh(std::vector<float>& positions, bool withSkirts = true) const;
    // Triangles of one area, skirts included, and of the whole last
    // selection (one pass).
    int areaTriangles(const CdlodArea& area) const;
    int selectionTriangles() const;
    float skirtDepth(int level) const;  // world units
    int nodesDrawn() const { return static_cast<int>(areas.size()); }

    // Samples per side and scale of the grid set up (0 before).
    int size() const { return gridSize; }
    float xScale() const { return scaleX; }
    float zScale() const { return scaleZ; }

private:
    int dim;
    int requestedDim;
    int top = 0;
    int gridSize = 0;
    float scaleX = 1.0f, scaleZ = 1.0f;
    std::vector<CdlodNode> tree;          // root first
    std::vector<float> heights;           // fine, coarse per vertex, node by node
    std::vector<float> levelErrors;       // per level
    std::vector<float> levelDiagonals;    // per level
    std::vector<float> levelAmplitudes;   // per level
    std::vector<float> ranges;            // per level; top: infinity
    std::vector<float> morphStarts;       // per level; top: infinity
    std::vector<CdlodArea> areas;
    // Triangle lists in node vertex numbers: 0 the whole mesh, 1-4 the
    // quarters, then 5 + 4 * piece + side the skirts of piece's sides.
    std::vector<std::vector<unsigned>> pieces;
    std::vector<size_t> pieceFirst;  // first index of each piece in indexBuffer
    std::vector<signed char> leafLevels;  // level drawn on each leaf square (-1 none)
    float eyePosition[3] = {0.0f, 0.0f, 0.0f};
    int drawnTriangles = 0;
    int finestDrawn = 0, coarsestDrawn = 0;

    // GL objects, made on the first draw (0 until then).
    mutable int shaderState = 0;  // 0 untried, 1 ready, -1 failed
    mutable std::string shaderFailure;
    mutable unsigned program = 0;
    unsigned gridBuffer = 0, heightBuffer = 0, indexBuffer = 0;
    struct Locations {
        int origin, quadSize, worldScale, invSize, detailRepeat, eye, morph, skirtDepth, lastPoint;
    } uniforms{};
    mutable std::vector<float> meshScratch;

    // Vertices per node: the (gridDim + 1)^2 grid points, then a skirt copy
    // of the points on each of the six lines i, j = 0, gridDim / 2, gridDim.
    int nodeVertices() const { return (dim + 1) * (dim + 1) + 6 * (dim + 1); }
    unsigned borderVertex(int line, int t) const;
    unsigned skirtVertex(int line, int t) const;
    void buildPieces();
    void markSkirts();
    bool prepareProgram() const;
    bool prepareBuffers();
    void computeRanges();
    bool selectNode(int index, int level);
    void addArea(int node, int quarter);
    bool reaches(const CdlodNode& node, int quarter, float radius) const;
    bool visible(const CdlodNode& node, int quarter) const;
    void drawPass(int multiTex, float repeat);
    static void passThunk(void* context, int multiTex, float repeat);
};

// The program's instance (registered as "cdlod").
Ccdlod& cdlodAlgorithm();

// Checks the tree (boxes, errors, heights), the ranges and the last
// selection against the invariants above; false with the first broken one
// in problem.
bool checkCdlodInvariants(const Ccdlod& cdlod, std::string& problem);
