// plantSet.cpp -- plant sets and the grid walk that places them; see
// plantSet.h.
//
// The order of the random draws per candidate is part of the scene: the
// same seed and the same draws give the same plants every pass, every frame
// and every run (x jitter, z jitter, distribution draw, unit draw, scale
// draw, rotation draw).
#include "vegetation/plantSet.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "math/random.h"
#include "scene/sceneConfig.h"
#include "terrain/sceneGrids.h"
#include "util/output.h"
#include "util/threadClock.h"
#include "vegetation/modelDraw.h"
#include "vegetation/plantBatch.h"
#include "vegetation/plantDetail.h"

int plantLighting = 1;
int plantPlacementCache = 1;

double plantSelectionCpuSeconds = 0.0;

namespace {

// drawPlantSet's CPU time without its batch flushes, added to
// plantSelectionCpuSeconds at every return.
class PlantPassClock {
public:
    PlantPassClock() : started_(threadCpuSeconds()), flushed_(plantFlushCpuSeconds) {}
    ~PlantPassClock() {
        plantSelectionCpuSeconds += threadCpuSeconds() - started_ - (plantFlushCpuSeconds - flushed_);
    }

private:
    double started_, flushed_;
};

}  // namespace

namespace {

// Truncation toward zero of a set's float value, bounded to a sane range.
int wholePart(float value) {
    if (std::isnan(value)) return 0;
    if (value > 1.0e9f) return 1000000000;
    if (value < -1.0e9f) return -1000000000;
    return static_cast<int>(value);
}

// Grid look-ups that read 0 outside the grid (or from an empty grid), so a
// missing or smaller data file cannot send placement outside an array.
int sampleOrZero(const Cheightmap& grid, int x, int z) {
    if (!grid.data || x < 0 || z < 0 || x >= grid.size || z >= grid.size) return 0;
    return grid.sample(x, z);
}

float heightOrZero(const Cheightmap& grid, int x, int z) {
    if (!grid.data || x < 0 || z < 0 || x >= grid.size || z >= grid.size) return 0.0f;
    return static_cast<float>(grid.height(x, z));
}

float clampToMap(float coordinate) {
    if (coordinate < 0.0f) return 1.0f;
    if (coordinate > mapExtent) return mapExtent;
    return coordinate;
}

}  // namespace

PlantSet* createPlantSet() { return new PlantSet; }

void releasePlantSet(PlantSet* set) { delete set; }

void setFullModel(PlantSet& set, ObjectList& model) {
    set.fullModel = &model;
    set.hasFullModel = 1;
}

void setBillboardModel(PlantSet& set, ObjectList& model) {
    set.billboardModel = &model;
    set.hasBillboard = 1;
}

void setCrossBillboardModel(PlantSet& set, ObjectList& model) {
    set.crossModel = &model;
    set.hasCross = 1;
}

void setDistributionMap(PlantSet& set, const char* fileName, int size) {
    // Every set of the scene reads the same map: a problem is told once, not
    // once per set (the last report is remembered).
    static std::string lastReport;
    std::string problem;
    std::string path = fileName ? scenePath(fileName) : std::string();
    bool loaded = set.distributionMap.load(fileName ? path.c_str() : nullptr, size, &problem);
    ++set.distributionLoads;
    set.hasDistributionMap = loaded ? 1 : 0;
    std::string report;
    if (!loaded)
        report = "Cannot load plant distribution map " + path + ": " + problem + "; the plant sets are not thinned\n";
    else if (!problem.empty())
        report = "Plant distribution map " + path + ": " + problem + "\n";
    if (!report.empty() && report != lastReport) outputText(report.c_str());
    lastReport = report;
}

void setSpacing(PlantSet& set, float spacing) { set.spacing = spacing < 1.0f ? 1.0f : spacing; }

void setBaseScale(PlantSet& set, float scale) {
    set.baseScale = scale;
    set.hasBaseScale = 1;
}

void setPositionJitter(PlantSet& set, float minimum, float maximum) {
    set.jitterMin = minimum;
    set.jitterMax = maximum;
    set.hasJitter = 1;
}

void setScaleJitter(PlantSet& set, float minimum, float maximum) {
    set.scaleJitterMin = minimum;
    set.scaleJitterMax = maximum;
    set.hasScaleJitter = 1;
}

void setRotationRange(PlantSet& set, float minimum, float maximum) {
    set.rotationMin = minimum;
    set.rotationMax = maximum;
    set.hasRotation = 1;
}

void setSeed(PlantSet& set, float seed) {
    set.seed = seed;
    set.hasSeed = 1;
}

void setKeepProbability(PlantSet& set, float probability) {
    set.keepProbability = probability;
    set.hasKeepProbability = 1;
}

void placePlants(const PlantSet& set, PlantOperation op) {
    // The generator seeds itself with 0 at its first use, replacing any
    // earlier seed; using it once before the first walk makes the very first
    // pass follow the set's seed like every later one.
    static bool generatorStarted = false;
    if (!generatorStarted) {
        randomUnit();
        generatorStarted = true;
    }
    randomSeed(set.hasSeed ? static_cast<uint32_t>(wholePart(set.seed)) : 0u);

    int step = wholePart(set.spacing);
    if (step < 1) step = 1;  // a step of 0 would never advance
    int jitterLow = wholePart(set.jitterMin);
    int jitterHigh = wholePart(set.jitterMax);
    bool scaled = set.hasBaseScale || set.hasScaleJitter;
    bool rotated = set.hasRotation && set.displayMode != 3;
    // A batched walk hands each plant its own transform; the modelview is
    // not touched per plant.
    bool carriesTransforms = plantInstanceMode;

    for (int gx = 0; gx < mapSize; gx += step) {
        for (int gz = 0; gz < mapSize; gz += step) {
            bool keep = true;
            float x = clampToMap(static_cast<float>(gx + randomInt(jitterLow, jitterHigh)));
            float z = clampToMap(static_cast<float>(gz + randomInt(jitterLow, jitterHigh)));
            int cellX = static_cast<int>(x);
            int cellZ = static_cast<int>(z);

            if (set.hasDistributionMap) {
                int density = sampleOrZero(set.distributionMap, cellX, cellZ);
                keep = randomInt(0, 254) < density;
            }
            if (plantLighting) {
                float c = static_cast<float>(sampleOrZero(lightmapGrid, cellX, cellZ));
                setPlantColour(c, c, c);
            } else {
                setPlantColour(255.0f, 255.0f, 255.0f);
            }
            if (!keep) continue;

            // Drawn for every survivor of the map, so thinning by the keep
            // probability does not shift the draws of later plants.
            float p = randomUnit();
            if (set.hasKeepProbability) keep = p < set.keepProbability;

            float scale = 1.0f;
            float rotation = 0.0f;
            float y = heightOrZero(bruteTerrain, cellX, cellZ);
            if (set.hasBaseScale) scale = set.baseScale;
            if (set.hasScaleJitter) scale += randomFloat(set.scaleJitterMin, set.scaleJitterMax);
            if (rotated) rotation = randomFloat(set.rotationMin, set.rotationMax);
            if (!keep) continue;
            if (carriesTransforms) {
                op(set, x, y, z, scale, rotation);
                continue;
            }
            glPushMatrix();
            glTranslatef(x, y, z);
            if (scaled) glScalef(scale, scale, scale);
            op(set, x, y, z, scale, rotation);
            glPopMatrix();
        }
    }
}

namespace {

unsigned placementGeneration = 0;  // bumped by invalidatePlantPlacement

template <typename T>
void put(std::vector<unsigned char>& key, const T& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    key.insert(key.end(), bytes, bytes + sizeof value);
}

// A grid as placement reads it: where it is, its size and scale, and 64 of
// its bytes spread over it (the last one included): enough to notice a grid
// loaded again at the same address, few enough to cost next to nothing per
// pass.
void putGrid(std::vector<unsigned char>& key, const Cheightmap& grid) {
    put(key, grid.data);
    put(key, grid.size);
    put(key, grid.heightScale);
    if (!grid.data || grid.size <= 0) return;
    size_t count = static_cast<size_t>(grid.size) * static_cast<size_t>(grid.size);
    size_t stride = count / 63 + 1;
    for (size_t i = 0; i < count; i += stride) key.push_back(grid.data[i]);
    key.push_back(grid.data[count - 1]);
}

// Everything the walk over the set reads.
std::vector<unsigned char> placementKey(const PlantSet& set) {
    std::vector<unsigned char> key;
    key.reserve(2048);
    put(key, placementGeneration);
    put(key, mapSize);
    put(key, mapExtent);
    put(key, plantLighting);
    putGrid(key, bruteTerrain);
    if (plantLighting) putGrid(key, lightmapGrid);
    const float values[] = {set.spacing,        set.baseScale,      set.jitterMin,   set.jitterMax,
                            set.seed,           set.keepProbability, set.scaleJitterMin, set.scaleJitterMax,
                            set.rotationMin,    set.rotationMax};
    for (float v : values) put(key, v);
    const int flags[] = {set.hasBaseScale,         set.hasSeed,     set.hasKeepProbability, set.hasScaleJitter,
                         set.hasRotation,          set.displayMode, set.hasDistributionMap, set.distributionLoads};
    for (int f : flags) put(key, f);
    if (set.hasDistributionMap) putGrid(key, set.distributionMap);
    return key;
}

std::vector<PlacedPlants::Plant>* recording = nullptr;

void recordPlant(const PlantSet&, float x, float y, float z, float scale, float rotation) {
    recording->push_back({x, y, z, scale, rotation, {plantColour[0], plantColour[1], plantColour[2]}});
}

int cellsPerSide() {
    int n = static_cast<int>(std::ceil(mapSize / placementCellSide));
    return std::clamp(n, 1, 4096);
}

uint32_t cellOf(float x, float z, int side) {
    int cx = std::clamp(static_cast<int>(x) / placementCellSide, 0, side - 1);
    int cz = std::clamp(static_cast<int>(z) / placementCellSide, 0, side - 1);
    return static_cast<uint32_t>(cx + cz * side);
}

std::shared_ptr<const PlacedPlants> walkAndKeep(const PlantSet& set, std::vector<unsigned char> key) {
    auto placed = std::make_shared<PlacedPlants>();
    placed->key = std::move(key);
    // The walk with the recorder: plantInstanceMode keeps it off the matrix
    // stack.
    bool savedMode = plantInstanceMode;
    plantInstanceMode = true;
    recording = &placed->plants;
    placePlants(set, recordPlant);
    recording = nullptr;
    plantInstanceMode = savedMode;
    for (int c = 0; c < 3; ++c) placed->finalColour[c] = plantColour[c];
    placed->finalRandomState = randomState();

    int side = cellsPerSide();
    placed->cells.assign(static_cast<size_t>(side) * side, PlacedPlants::Cell{{0, 0, 0}, {0, 0, 0}, 0, 0, true});
    std::vector<bool> used(placed->cells.size(), false);
    for (uint32_t i = 0; i < placed->plants.size(); ++i) {
        const PlacedPlants::Plant& p = placed->plants[i];
        uint32_t cell = cellOf(p.x, p.z, side);
        if (placed->runs.empty() || placed->runs.back().cell != cell)
            placed->runs.push_back({i, 0, cell});
        ++placed->runs.back().count;
        PlacedPlants::Cell& bounds = placed->cells[cell];
        const float place[3] = {p.x, p.y, p.z};
        if (!used[cell]) {
            used[cell] = true;
            for (int a = 0; a < 3; ++a) bounds.low[a] = bounds.high[a] = place[a];
            bounds.minScale = bounds.maxScale = p.scale;
        }
        for (int a = 0; a < 3; ++a) {
            bounds.low[a] = std::min(bounds.low[a], place[a]);
            bounds.high[a] = std::max(bounds.high[a], place[a]);
        }
        bounds.minScale = std::min(bounds.minScale, p.scale);
        bounds.maxScale = std::max(bounds.maxScale, p.scale);
        bool finite = std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(p.scale);
        if (!finite) bounds.finite = false;
    }
    return placed;
}

// A model the plant operations may cull and draw for a set, with the factor
// on the plant's scale they cull it at.
struct CulledModel {
    const ObjectList* model;
    float factor;
};

// True when, for every plant of the cell, the sphere test of the culling
// (plantDetail.cpp) puts the model's sphere wholly outside one plane: the
// box of the plants' sphere centres is outside that plane by more than the
// largest radius, with room for rounding.
bool modelOutside(const PlacedPlants::Cell& cell, const CulledModel& culled, const float (*planes)[4]) {
    const ObjectList& m = *culled.model;
    double extent[3] = {(static_cast<double>(m.maxX) - m.minX) * m.scale[0],
                        (static_cast<double>(m.maxY) - m.minY) * m.scale[1],
                        (static_cast<double>(m.maxZ) - m.minZ) * m.scale[2]};
    double low[3], high[3];
    for (int a = 0; a < 3; ++a) {
        double first = extent[a] * culled.factor * cell.minScale / 2.0;
        double second = extent[a] * culled.factor * cell.maxScale / 2.0;
        low[a] = cell.low[a] + std::min(first, second);
        high[a] = cell.high[a] + std::max(first, second);
    }
    double largestScale = std::max(std::fabs(cell.minScale), std::fabs(cell.maxScale)) * std::fabs(culled.factor);
    double radius =
        std::sqrt(extent[0] * extent[0] + extent[1] * extent[1] + extent[2] * extent[2]) * largestScale * 1.001 +
        1.0e-3;
    double magnitude = radius;
    for (int a = 0; a < 3; ++a) magnitude += std::max(std::fabs(low[a]), std::fabs(high[a]));
    if (!std::isfinite(magnitude) || magnitude > 1.0e20) return false;
    for (int p = 0; p < 6; ++p) {
        const float* plane = planes[p];
        double farthest = plane[3];
        double size = std::fabs(plane[3]);
        for (int a = 0; a < 3; ++a) {
            farthest += std::max(plane[a] * low[a], plane[a] * high[a]);
            size += std::fabs(plane[a]) * std::max(std::fabs(low[a]), std::fabs(high[a]));
        }
        double margin = 1.0e-3 * (size + radius) + 1.0e-3;
        if (farthest + margin < -radius) return true;
    }
    return false;
}

// Which cells hold a plant the operations could draw this pass.
void findVisibleCells(const PlantSet& set, const PlacedPlants& placed, std::vector<char>& visible) {
    visible.assign(placed.cells.size(), 1);
    if (!frustumCulling || !getCamera()) return;
    CulledModel models[3];
    int count = 0;
    if (set.hasFullModel) {
        models[count++] = {set.fullModel, 1.0f};
        if (set.hasCross) models[count++] = {set.crossModel, 1.0f};
        if (set.hasBillboard) models[count++] = {set.billboardModel, 1.0f};
    } else if (set.hasBillboard && !set.hasCross) {
        models[count++] = {set.billboardModel, 2.0f};
    }
    for (int i = 0; i < count; ++i)
        if (!models[i].model) return;
    const float (*planes)[4] = getCamera()->frustum;
    for (size_t c = 0; c < placed.cells.size(); ++c) {
        const PlacedPlants::Cell& cell = placed.cells[c];
        if (!cell.finite) continue;
        bool outside = true;
        for (int i = 0; i < count && outside; ++i) outside = modelOutside(cell, models[i], planes);
        visible[c] = outside ? 0 : 1;
    }
}

// The kept plants of the visible cells handed to op as the walk hands them,
// then plantColour and the generator left as the walk leaves them.
void handPlacedPlants(const PlantSet& set, const PlacedPlants& placed, const std::vector<char>& visible,
                      PlantOperation op) {
    bool scaled = set.hasBaseScale || set.hasScaleJitter;
    bool carriesTransforms = plantInstanceMode;
    for (const PlacedPlants::Run& run : placed.runs) {
        if (!visible[run.cell]) continue;
        const PlacedPlants::Plant* plant = placed.plants.data() + run.first;
        for (uint32_t i = 0; i < run.count; ++i, ++plant) {
            setPlantColour(plant->colour[0], plant->colour[1], plant->colour[2]);
            if (carriesTransforms) {
                op(set, plant->x, plant->y, plant->z, plant->scale, plant->rotation);
                continue;
            }
            glPushMatrix();
            glTranslatef(plant->x, plant->y, plant->z);
            if (scaled) glScalef(plant->scale, plant->scale, plant->scale);
            op(set, plant->x, plant->y, plant->z, plant->scale, plant->rotation);
            glPopMatrix();
        }
    }
    setPlantColour(placed.finalColour[0], placed.finalColour[1], placed.finalColour[2]);
    randomSeed(placed.finalRandomState);
}

}  // namespace

const PlacedPlants& placedPlants(const PlantSet& set) {
    std::vector<unsigned char> key = placementKey(set);
    if (!set.placed || set.placed->key != key) set.placed = walkAndKeep(set, std::move(key));
    return *set.placed;
}

void invalidatePlantPlacement() { ++placementGeneration; }

void drawPlantSet(const PlantSet& set) {
    const PlantPassClock clock;
    // Batched, the set's opaque plants are gathered over the first pass and
    // drawn before its fades, as the one-plant-at-a-time path draws them.
    // The fade pass draws only under the smooth scheme, for sets with a full
    // model and a billboard. Elsewhere it would hand over the same plants
    // for nothing: it repeats the first pass's draws and colours, so
    // skipping it leaves the generator, plantColour and the picture as they
    // would be.
    bool fades = plantAlgorithm == 5 && set.hasFullModel && set.hasBillboard;
    static std::vector<char> visible;
    const PlacedPlants* placed = nullptr;
    if (plantPlacementCache) {
        placed = &placedPlants(set);
        findVisibleCells(set, *placed, visible);
    }
    plantInstanceMode = plantBatching != 0;
    if (plantInstanceMode) beginPlantBatch();
    if (placed)
        handPlacedPlants(set, *placed, visible, drawPlant);
    else
        placePlants(set, drawPlant);
    if (plantInstanceMode) endPlantBatch();
    if (fades) {
        if (placed)
            handPlacedPlants(set, *placed, visible, drawPlantFade);
        else
            placePlants(set, drawPlantFade);
    }
    plantInstanceMode = false;
}
