// plantSet.cpp -- plant sets and the grid walk that places them; see
// plantSet.h.
//
// The order of the random draws per candidate is part of the scene: the
// same seed and the same draws give the same plants every pass, every frame
// and every run (x jitter, z jitter, distribution draw, unit draw, scale
// draw, rotation draw).
#include "vegetation/plantSet.h"

#include <GL/gl.h>

#include <cmath>
#include <string>

#include "math/random.h"
#include "scene/sceneConfig.h"
#include "terrain/sceneGrids.h"
#include "util/output.h"
#include "util/threadClock.h"
#include "vegetation/modelDraw.h"
#include "vegetation/plantBatch.h"
#include "vegetation/plantDetail.h"

int plantLighting = 1;
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

void drawPlantSet(const PlantSet& set) {
    const PlantPassClock clock;
    // Batched, the set's opaque plants are gathered over the first walk and
    // drawn before its fades, as the one-plant-at-a-time path draws them.
    plantInstanceMode = plantBatching != 0;
    if (plantInstanceMode) beginPlantBatch();
    placePlants(set, drawPlant);
    if (plantInstanceMode) endPlantBatch();
    // The fade pass draws only under the smooth scheme, for sets with a full
    // model and a billboard. Elsewhere it would walk the same grid for
    // nothing: it re-seeds and repeats the first pass's draws and colours, so
    // skipping it leaves the generator, plantColour and the picture as they
    // would be.
    if (plantAlgorithm == 5 && set.hasFullModel && set.hasBillboard) placePlants(set, drawPlantFade);
    plantInstanceMode = false;
}
