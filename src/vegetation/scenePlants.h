// scenePlants.h -- the scene's plant models and its eight plant sets.
//
// Provides: ScenePlantModels, scenePlantModels, ScenePlantSets,
// scenePlantSets. Filled by loadScenePlants (plantSet.h) at each scene
// set-up on the main thread, which first releases what an earlier set-up
// filled (releaseScenePlants); read by drawPlantSets and drawGrassSet every
// frame. The set pointers stay null until then, and nothing is drawn.
#pragma once

#include "vegetation/model.h"
#include "vegetation/plantSet.h"

struct ScenePlantModels {
    ObjectList fernFirstCopy;  // read first, with brightening, so fern's textures are brightened
    ObjectList towergrass;
    ObjectList grasscross;
    ObjectList grassbill;
    ObjectList fern;
    ObjectList broad01;
    ObjectList broad16;        // alpha-test reference forced to 0.3
    ObjectList palm01;         // in no plant set
    ObjectList bboy;
    ObjectList spear;
    ObjectList flower8;
    ObjectList flower6;
};

struct ScenePlantSets {
    PlantSet* fern = nullptr;
    PlantSet* grass = nullptr;
    PlantSet* bboy = nullptr;
    PlantSet* spear = nullptr;
    PlantSet* broad16 = nullptr;
    PlantSet* broad01 = nullptr;
    PlantSet* flower8 = nullptr;
    PlantSet* flower6 = nullptr;
};

extern ScenePlantModels scenePlantModels;
extern ScenePlantSets scenePlantSets;
