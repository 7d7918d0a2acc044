// plantSet.h -- plant sets, their placement over the terrain, and grass.
//
// Provides: plantLighting, plantAlgorithm, plantPolygons, plantPlacementCache,
// plantSelectionCpuSeconds, PlantSet, PlacedPlants, createPlantSet,
// releasePlantSet and the setters, PlantOperation, placePlants,
// placedPlants, invalidatePlantPlacement, drawPlantSet, drawPlantSets,
// drawGrassSet, loadScenePlants, releaseScenePlants.
//
// Placement re-seeds the shared random generator and walks a regular grid
// over the whole terrain, so the same plants come back in the same places
// every pass, every frame and every run.
// Per candidate the draws are, in this order: x jitter, z jitter, the
// distribution draw (sets with a map), then for survivors of the map the unit
// draw, the scale draw (sets with a scale jitter) and the rotation draw (sets
// with a rotation range). Each set is walked twice per frame: opaque plants
// first (drawPlant), then the translucent halves of scheme-5 cross-fades
// (drawPlantFade, plantDetail.h).
//
// The walk's result depends only on the map (heights, lightmap, map size),
// plantLighting and the set's own values, so drawPlantSet walks a set once
// and keeps what it placed (PlacedPlants): each kept plant's place, scale,
// rotation and colour in the walk's order, cut into runs of consecutive
// plants that lie in one cell of a coarse grid (placementCellSide samples a
// side). Each pass then tests the cells against the view frustum and hands
// the plants of the cells not wholly outside it, in the walk's order, to the
// same operations with the same colours; a skipped cell's plants are ones
// every culling test would have refused. After the pass plantColour and the
// random generator are left as the walk leaves them, so pictures, polygon
// counts, draw order and later random draws are those of walking every pass.
// The kept plants are rebuilt when any of those inputs differ from the ones
// they were built from (compared each pass: the grids by address, size,
// scale and a sparse sample of their bytes, the set by every value the walk
// reads); code that rewrites a grid's bytes in place calls
// invalidatePlantPlacement.
//
// Globals, all main thread:
//   plantLighting  written by the plant "&Lighting" menu item and the
//                  turnPlantLightOff/On script functions; read by placement.
//   plantAlgorithm written by selectPlantAlgorithm (menu and script); read
//                  by plantDetail.cpp, which defines it.
//   plantPolygons  reset by drawPlantSets (or by the frame driver before
//                  drawGrassSet alone), added to by plantDetail.cpp, which
//                  defines it; read by the frame driver.
//   plantPlacementCache 1 (default): drawPlantSet reuses the kept plants; 0:
//                  it walks the grid every pass. Written by tests and bench
//                  programs that compare the two.
//   plantSelectionCpuSeconds  running total of the main thread's CPU
//                  seconds (util/threadClock.h) in drawPlantSet without its
//                  batch flushes (plantFlushCpuSeconds, plantBatch.h): the
//                  placement walk, culling, detail selection and the CPU
//                  transforms that gather the visible plants. With batching
//                  off (or for the smooth scheme's fades) a plant's display
//                  list is called inside the walk and is in it too. Written
//                  by drawPlantSet; the frame driver takes differences.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "terrain/heightmap.h"
#include "vegetation/model.h"

extern int plantLighting;   // default 1: plants shaded by the lightmap grid
extern int plantAlgorithm;  // 1-5: full, crossed billboards, billboards, mixed, smooth
extern int plantPolygons;   // polygons of plant models drawn this frame
extern double plantSelectionCpuSeconds;
extern int plantPlacementCache;

constexpr int placementCellSide = 32;  // terrain samples per side of a culling cell

struct PlacedPlants;

// One kind of plant: up to three shared models and its placement values.
// Every setter that has a flag also sets it to 1.
struct PlantSet {
    ObjectList* fullModel = nullptr;
    int hasFullModel = 0;
    ObjectList* billboardModel = nullptr;  // turned toward the camera
    int hasBillboard = 0;
    ObjectList* crossModel = nullptr;      // placed and rotated like a full model
    int hasCross = 0;
    float spacing = 10.0f;                 // grid step in terrain samples (at least 1)
    float baseScale = 1.0f;
    int hasBaseScale = 0;
    float jitterMin = 0.0f;                // integer offsets added to each grid coordinate
    float jitterMax = 0.0f;
    int hasJitter = 0;                     // the jitter is applied whether set or not
    float seed = 0.0f;
    int hasSeed = 0;                       // without it the seed is 0
    float keepProbability = 1.0f;          // a candidate survives when a unit draw is below it
    int hasKeepProbability = 0;
    float scaleJitterMin = 0.0f;           // random amount added to the base scale
    float scaleJitterMax = 0.0f;
    int hasScaleJitter = 0;
    float rotationMin = 0.0f;              // random rotation in degrees
    float rotationMax = 0.0f;
    int hasRotation = 0;
    Cheightmap distributionMap;            // grey levels: 0 never, 255 always a plant
    int hasDistributionMap = 0;
    int displayMode = 1;                   // 3: the random rotation is not drawn
    int distributionLoads = 0;             // counts setDistributionMap calls
    mutable std::shared_ptr<const PlacedPlants> placed;  // drawPlantSet's kept walk
};

// The kept result of one walk over a set; see the top of this file.
struct PlacedPlants {
    struct Plant {
        float x, y, z, scale, rotation;
        float colour[3];  // plantColour when the walk handed the plant over
    };
    // Consecutive plants plants[first .. first + count) in one cell.
    struct Run {
        uint32_t first, count;
        uint32_t cell;
    };
    // Bounds of the plants of one cell: their places and scales.
    struct Cell {
        float low[3], high[3];
        float minScale, maxScale;
        bool finite;  // false: never culled as a whole
    };
    std::vector<Plant> plants;
    std::vector<Run> runs;
    std::vector<Cell> cells;
    float finalColour[3] = {255.0f, 255.0f, 255.0f};  // plantColour after the walk
    uint32_t finalRandomState = 0;                     // the generator after the walk
    std::vector<unsigned char> key;                    // the inputs it was built from
};

// A new set (spacing 10, display mode 1, no models, every flag off).
PlantSet* createPlantSet();
void releasePlantSet(PlantSet* set);  // null is ignored

void setFullModel(PlantSet& set, ObjectList& model);
void setBillboardModel(PlantSet& set, ObjectList& model);
void setCrossBillboardModel(PlantSet& set, ObjectList& model);
// Loads the RAW map (size x size bytes). A map that cannot be read is
// reported with its reason and left off, so the set is not thinned; a map of
// the wrong length loads (zero-filled or cut) and is reported. A report
// equal to the previous one is not repeated.
void setDistributionMap(PlantSet& set, const char* fileName, int size);
void setSpacing(PlantSet& set, float spacing);  // below 1 counts as 1
void setBaseScale(PlantSet& set, float scale);
void setPositionJitter(PlantSet& set, float minimum, float maximum);
void setScaleJitter(PlantSet& set, float minimum, float maximum);
void setRotationRange(PlantSet& set, float minimum, float maximum);
void setSeed(PlantSet& set, float seed);
void setKeepProbability(PlantSet& set, float probability);

// Called for each kept plant with the modelview translated to (x, y, z) and
// scaled by scale, or, while a batched walk runs (plantInstanceMode,
// plantBatch.h), with the modelview left as it was.
using PlantOperation = void (*)(const PlantSet& set, float x, float y, float z, float scale, float rotation);

// The grid walk: heights from the brute-force terrain, colours from the
// lightmap grid (white with plantLighting off), op for each kept plant.
void placePlants(const PlantSet& set, PlantOperation op);

// The set's kept plants, walked again first when their inputs changed.
const PlacedPlants& placedPlants(const PlantSet& set);

// Every set's kept plants are rebuilt at their next pass.
void invalidatePlantPlacement();

// The set's plants handed to drawPlant, then to drawPlantFade (the second
// pass only when it can draw something: scheme 5 and a set with a full model
// and a billboard): the kept plants of the cells in view, or with
// plantPlacementCache 0 the walk itself. With plantBatching the first pass's
// opaque models are gathered and drawn in a few calls at its end
// (plantBatch.h).
void drawPlantSet(const PlantSet& set);

// plantPolygons = 0; the seven plant sets of the scene in their order (fern,
// bboy, spear, broad16, broad01, flower8, flower6), then grass when showGrass.
void drawPlantSets();
void drawGrassSet();

// Scene set-up: reads the plant models and builds the scene's plant sets,
// releasing those of an earlier set-up first. Needs heightmapSize final; a
// missing model file ends the program.
void loadScenePlants();

// Frees the scene's plant sets and models (display lists are left to their
// context) and leaves the set pointers null.
void releaseScenePlants();
