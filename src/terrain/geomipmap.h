// geomipmap.h -- geomipmapping terrain: square patches at four levels of
// detail chosen by camera distance.
//
// Provides: GeomipPatch, GeomipVertex, geomipExtent, the fan side flags,
// Cgeomipmap (setupPatches, releasePatches, patchIndex, updatePatches,
// drawPatches, drawPatch, renderGeomipmap, drawGeomipmapFrame, fanTemplate).
//
// A patch of patchSize cells is drawn as a grid of triangle fans with step
// 2^(level + 1): 2, 4, 8, 16 cells for levels 0 (finest) to 3. Where a patch
// borders a coarser one, the fans on that border leave out their mid-edge
// vertex, so both patches share exactly the same border vertices and no
// crack opens. That holds for neighbours one level apart; updatePatches
// therefore refines any visible patch that would be two or more levels
// coarser than a visible neighbour.
//
// Drawing is batched: every grid point is one vertex of a vertex buffer
// built at set-up (position, texture coordinates, detail coordinates), and
// each level has precomputed fan templates, one per combination of the four
// patch sides that keep their mid-edge vertices: the fans' triangles, in
// fan order, as index offsets from the patch's first grid point. Each frame
// the templates of the visible patches are gathered into index lists, one
// per group of patches that share their texturing passes, and every pass is
// one indexed draw of its group. The triangles, their vertex order, the
// order of the passes and the counts are those of drawing fan by fan.
//
// Patches outside the view frustum (camera/frustum.h) are skipped and keep
// the distance and level they had when last seen. With terrainErrorTolerance
// above 0 (scene/sceneConfig.h) the level is instead the coarsest whose
// largest vertical error (measured against the full grid at set-up),
// projected from the patch's nearest point, is at most that many pixels.
//
// Texturing by vertex distance from the camera: ground nearer than
// multiTextureDistance is splatted (splatting.h), beyond it the base texture
// fades in over baseFadeRange with an alpha per vertex, so the fade follows
// the distance smoothly across patch borders; patches wholly beyond the
// band show the base texture alone. With uniformTexturing every patch draws
// brute force's passes instead (splatting, lightmap) and no fade.
//
// Geomorphing (geomorphing, scene/sceneConfig.h; off by default): a patch
// at level L below the coarsest moves its level-L-only vertices from their
// grid heights toward the heights of the level L + 1 mesh at the same
// points (each such vertex is the midpoint of a level L + 1 edge, and goes
// to the mean of that edge's ends) by its morph factor m, 0 to 1. m rises
// linearly over the whole distance range in which the patch keeps level L
// (from 0 where it takes level L to 1 where it switches to L + 1: the
// slowest morph, so the fewest pixels move per frame): the distance bands
// lodDistance1-3 (the centre's distance), or with a tolerance the nearest
// point's distance at which level L + 1's error meets the tolerance. So a
// switch, either way, moves no vertex; and the morphed error stays within
// the tolerance (m * error(L + 1) projected is at most the tolerance in
// the band). A patch held at L by its neighbours keeps m = 1. Border
// vertices are shared grid points and follow the edge both patches draw:
// at equal levels the larger of the two factors, otherwise the coarser
// patch's level and factor, so both sides put every border vertex at the
// same height at every stage (no crack). Patch corners never move. The
// morphed heights are drawn from client memory (the vertex buffer holds
// the grid heights); the triangles and counts are those without morphing.
//
// Set up once at scene set-up (setupPatches), drawn on the main thread
// inside the frame (renderGeomipmap, called by renderTerrainFrame).
#pragma once

#include <cstdint>
#include <vector>

#include "terrain/heightmap.h"

struct GeomipPatch {
    float distance = 0.0f;  // camera distance of the centre, last computed while visible
    int level = 0;          // 0 (finest) to maxLevel (3 for 16-cell patches)
    uint8_t visible = 0;    // 1 when the patch passed the frustum test this frame
    float maxY = 0.0f;      // highest height found by the set-up scan
    float minY = 0.0f;      // lowest height found by the set-up scan
    // Camera distances of the nearest and farthest points of the patch's
    // box (its grid square and full height range), last computed while
    // visible: they choose the texturing passes and, with an error
    // tolerance, the level.
    float nearDistance = 0.0f;
    float farDistance = 0.0f;
};

// One grid point in the vertex buffer: world position, texture coordinates
// (x / size, z / size) and the detail coordinates of the splatting passes
// (the same times splatDetailRepeat).
struct GeomipVertex {
    float x, y, z;
    float s, t;
    float detailS, detailT;
};

// Largest world x, height and world z of any vertex drawn; never reset.
// Written only by Cgeomipmap's drawing; reported in the title.
extern float geomipExtent[3];

// Patch and fan sides that keep their mid-edge vertex.
enum GeomipFanSide {
    fanWest = 1,   // x - h
    fanNorth = 2,  // z + h
    fanEast = 4,   // x + h
    fanSouth = 8,  // z - h
    fanAllSides = fanWest | fanNorth | fanEast | fanSouth,
};

class Cgeomipmap : public Cheightmap {
public:
    int patchSize = 0;               // grid cells per patch side (16 in the scene)
    int patchesPerSide = 0;          // (size - 1) / patchSize
    int maxLevel = 0;                // halvings of patchSize while above 2
    int patchesDrawn = 0;            // patches drawn in the last frame
    GeomipPatch* patches = nullptr;  // patchesPerSide^2, row-major; owned

    Cgeomipmap() = default;
    ~Cgeomipmap();

    // Builds the patch array and scans each patch's height range (its last
    // row and column belong to the next patch and are not scanned), the
    // vertex array of the grid, the fan templates and each level's largest
    // vertical error. Prints
    // "patchesperside %d" and one "maxy %f miny %f" line per patch. Returns
    // false when no heightmap is loaded, patchSize is not a power of two
    // from 2 to size - 1, or memory runs out.
    bool setupPatches(int newPatchSize);

    // Frees the patch array, the vertex array and its buffer (when a
    // rendering context is current); patchSize and patchesPerSide become 0.
    void releasePatches();

    int patchIndex(int px, int pz) const { return pz * patchesPerSide + px; }

    // Per frame: visibility from the frustum test (box twice the patch in
    // every direction), and for visible patches the distances from the
    // camera and the level (boundaries lodDistance1-3, or the error
    // tolerance when it is above 0).
    void updatePatches();

    // The morph factor of a patch in the last frame (0 without geomorphing).
    float patchMorph(int px, int pz) const;
    // The height drawn at grid point (x, z) in the last frame.
    float drawnHeight(int x, int z) const;

    // Draws every visible patch; recounts patchesDrawn, vertexCount and
    // triangleCount (all passes).
    void drawPatches();

    // Draws one patch with the texturing passes its distances call for
    // (fade alphas from the camera position of the last updatePatches);
    // adds its triangles and vertices to the counts.
    void drawPatch(int px, int pz);

    // The frame entry: reports the title "GEOMIP x h z" (terrainReport), update, draw.
    void renderGeomipmap();
    // The drawing half of renderGeomipmap: drawPatches with the patches as
    // the last updatePatches left them, the GL state restored.
    void drawGeomipmapFrame();

    // The triangles of a patch at level with the given kept sides
    // (GeomipFanSide flags), three grid offsets (dz * size + dx from the
    // patch's first grid point) per triangle, fan by fan (rows of fans
    // outer, columns inner) and within each fan in drawing order. Empty
    // before set-up or for a level out of range.
    const std::vector<int>& fanTemplate(int level, int sides) const;

private:
    // What one batch of patches needs for its passes.
    struct Batch;

    std::vector<GeomipVertex> vertices;  // size * size grid points, z-major
    unsigned vertexBuffer = 0;           // GL buffer of vertices; 0 until the first draw
    bool vertexBufferTried = false;      // upload attempted (no buffer: client arrays)
    // templates[level * 16 + sides]; fanCounts likewise (fans per template).
    std::vector<std::vector<int>> templates;
    std::vector<int> fanCounts;
    // Per patch and level: the highest height of the vertices always drawn,
    // then of each side's droppable mid-edge vertices (west, north, east,
    // south); 5 floats per patch and level.
    std::vector<float> levelHeights;

    // Per patch: lowest and highest height of all its grid points, shared
    // border included (2 floats per patch).
    std::vector<float> heightRanges;
    // Per patch and level: the largest vertical distance between the grid
    // and the level's fans, mid-edge vertices dropped on the patch border
    // included; never smaller than the finer level's (levels per patch).
    std::vector<float> levelErrors;
    float eye[3] = {0.0f, 0.0f, 0.0f};  // camera position at the last updatePatches

    // Geomorphing: each patch's morph factor (last computed while visible),
    // the vertices with this frame's morphed heights, and whether the last
    // updatePatches morphed (what drawing then uses).
    std::vector<float> morphs;
    std::vector<GeomipVertex> morphedVertices;
    bool morphActive = false;

    // Per-frame lists, kept to reuse their memory.
    std::vector<int> visiblePatches, splatPatches, fadePatches, basePatches;
    std::vector<unsigned> splatIndices, baseIndices, fadeIndices;
    std::vector<float> fadeVertices;  // x y z s t r g b a per vertex

    void freeMemory();
    int clampedLevel(int index) const;
    int patchSides(int px, int pz) const;
    void limitLevelSteps();
    void buildTemplates();
    void buildVertices();
    void scanLevelHeights();
    void measureLevelErrors();
    int toleratedLevel(int index) const;
    float morphFactor(int index) const;
    void morphPatches();
    float edgeMorphHeight(int index, int neighbour, int x, int z, int alongX, int alongZ, int t) const;
    bool prepareVertexBuffer();
    void drawPatchList(const int* list, int count);
    const std::vector<GeomipVertex>& drawnVertices() const { return morphActive ? morphedVertices : vertices; }
    void appendPatch(std::vector<unsigned>& indices, int index);
    void appendFadePatch(int index);
    void countPatch(int index, int passes);
    static void drawBatchPass(void* context, int multiTex, float repeat);
};
