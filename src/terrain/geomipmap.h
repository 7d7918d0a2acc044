// geomipmap.h -- geomipmapping terrain: square patches at four levels of
// detail chosen by camera distance.
//
// Provides: GeomipPatch, geomipExtent, the fan side flags, Cgeomipmap
// (setupPatches, releasePatches, patchIndex, updatePatches, drawPatches,
// drawPatch, drawFan, renderGeomipmap).
//
// A patch of patchSize cells is drawn as a grid of triangle fans with step
// 2^(level + 1): 2, 4, 8, 16 cells for levels 0 (finest) to 3. Where a patch
// borders a coarser one, the fans on that border leave out their mid-edge
// vertex, so both patches share exactly the same border vertices and no
// crack opens. That holds for neighbours one level apart; updatePatches
// therefore refines any visible patch that would be two or more levels
// coarser than a visible neighbour.
//
// Patches outside the view frustum (camera/frustum.h) are skipped and keep
// the distance and level they had when last seen. Near patches are splatted
// (splatting.h), patches beyond multiTextureDistance fade the base texture
// in over baseFadeRange, farther ones show the base texture alone.
//
// Set up once at scene set-up (setupPatches), drawn on the main thread
// inside the frame (renderGeomipmap, called by renderTerrainFrame).
#pragma once

#include <cstdint>

#include "terrain/heightmap.h"

struct GeomipPatch {
    float distance = 0.0f;  // camera distance of the centre, last computed while visible
    int level = 0;          // 0 (finest) to maxLevel (3 for 16-cell patches)
    uint8_t visible = 0;    // 1 when the patch passed the frustum test this frame
    float maxY = 0.0f;      // highest height found by the set-up scan
    float minY = 0.0f;      // lowest height found by the set-up scan
};

// Largest world x, height and world z of any vertex emitted by drawFan;
// never reset. Written only by Cgeomipmap::drawFan; shown in the title.
extern float geomipExtent[3];

// Fan sides whose mid-edge vertex is drawn (drawFan's flags).
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
    // row and column belong to the next patch and are not scanned). Prints
    // "patchesperside %d" and one "maxy %f miny %f" line per patch. Returns
    // false when no heightmap is loaded, patchSize is not a power of two
    // from 2 to size - 1, or memory runs out.
    bool setupPatches(int newPatchSize);

    // Frees the patch array; patchSize and patchesPerSide become 0.
    void releasePatches();

    int patchIndex(int px, int pz) const { return pz * patchesPerSide + px; }

    // Per frame: visibility from the frustum test (box twice the patch in
    // every direction), and for visible patches the distance from the camera
    // and the level (boundaries lodDistance1-3).
    void updatePatches();

    // Draws every visible patch; recounts patchesDrawn, vertexCount and
    // triangleCount (all passes).
    void drawPatches();

    // Draws one patch with the texturing passes its distance calls for.
    void drawPatch(int px, int pz);

    // One fan centred on grid point (cx, cz) with step s; sides not in
    // flags leave out their mid-edge vertex. 4 to 8 triangles.
    void drawFan(int cx, int cz, int s, int flags);

    // The frame entry: reports the title "GEOMIP x h z" (terrainReport), update, draw.
    void renderGeomipmap();

private:
    int clampedLevel(int index) const;
    void limitLevelSteps();
    void drawPatchFans(int px, int pz, int step, int patchFlags);
    void fanVertex(int x, int z, float u, float v);
    static void drawPatchPass(void* context, int multiTex, float repeat);
};
