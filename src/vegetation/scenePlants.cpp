// scenePlants.cpp -- reads the scene's plant models, builds its plant sets
// and draws them each frame; see scenePlants.h and plantSet.h.
//
// The textureBrighten flag in force when a texture is first registered
// decides whether it is brightened, so the order of the model reads and the
// flag around each are part of the scene's look.
//
// The scene goes on without a plant model that does not load (the loader
// has said why): every plant set that uses it is left out, with the line
// "Plant set NAME left out: FILE did not load", and the other sets, the
// terrain and the sky are built as usual.
#include "vegetation/scenePlants.h"

#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "util/output.h"
#include "vegetation/modelDraw.h"
#include "vegetation/modelLoader.h"

ScenePlantModels scenePlantModels;
ScenePlantSets scenePlantSets;

namespace {

struct Placement {
    float spacing;
    float baseScale;
    float jitterMin, jitterMax;
    float scaleJitterMin, scaleJitterMax;
};

void configure(PlantSet& set, const Placement& p, const char* distributionFile) {
    setSpacing(set, p.spacing);
    setBaseScale(set, p.baseScale);
    setDistributionMap(set, distributionFile, heightmapSize);
    setPositionJitter(set, p.jitterMin, p.jitterMax);
    setScaleJitter(set, p.scaleJitterMin, p.scaleJitterMax);
    setRotationRange(set, 0.0f, 360.0f);
}

PlantSet* fullModelSet(ObjectList& model, const Placement& p, const char* distributionFile) {
    PlantSet* set = createPlantSet();
    setFullModel(*set, model);
    configure(*set, p, distributionFile);
    return set;
}

// True when the model loaded; otherwise says which set is left out.
// Plant models are read from the scene folder (scenePath).
ObjectList loadSceneModel(const char* fileName) { return loadObjectList(scenePath(fileName).c_str()); }

bool usable(const ObjectList& model, const char* setName, const char* fileName) {
    if (model.numObject > 0) return true;
    outputPrintf("Plant set %s left out: %s did not load\n", setName, fileName);
    return false;
}

}  // namespace

void releaseScenePlants() {
    ScenePlantSets& s = scenePlantSets;
    for (PlantSet* set : {s.fern, s.grass, s.bboy, s.spear, s.broad16, s.broad01, s.flower8, s.flower6})
        releasePlantSet(set);
    s = ScenePlantSets{};
    ScenePlantModels& m = scenePlantModels;
    for (ObjectList* model : {&m.fernFirstCopy, &m.towergrass, &m.grasscross, &m.grassbill, &m.fern, &m.broad01,
                              &m.broad16, &m.palm01, &m.bboy, &m.spear, &m.flower8, &m.flower6})
        releaseObjectList(*model);
    m = ScenePlantModels{};
}

void loadScenePlants() {
    // A scene built again (a further window) replaces the sets and models
    // of the one before; a set left out stays null.
    releaseScenePlants();
    ScenePlantModels& m = scenePlantModels;
    ScenePlantSets& s = scenePlantSets;

    textureBrighten = 1;
    m.fernFirstCopy = loadSceneModel("fern.xml");
    m.towergrass = loadSceneModel("towergrass.xml");
    m.grasscross = loadSceneModel("grasscross.xml");
    m.grassbill = loadSceneModel("grassbill.xml");
    textureBrighten = 0;
    // The same file again: read only when the first copy loaded, so a
    // missing fern.xml is reported once.
    if (m.fernFirstCopy.numObject > 0) m.fern = loadSceneModel("fern.xml");
    m.broad01 = loadSceneModel("broad01.xml");
    m.broad16 = loadSceneModel("broad16.xml");
    m.broad16.hasAlpha = 1;
    m.broad16.alpha = 0.3f;
    m.palm01 = loadSceneModel("palm01.xml");
    m.bboy = loadSceneModel("bboy.xml");
    textureBrighten = 1;
    m.spear = loadSceneModel("spear.xml");
    textureBrighten = 0;
    m.flower8 = loadSceneModel("flower8.xml");

    const char* distribution = sceneRow(heightmapSize).distributionFile;

    if (usable(m.fern, "fern", "fern.xml"))
        s.fern = fullModelSet(m.fern, {10.0f, 1.0f, -5.0f, 5.0f, -0.5f, 0.5f}, distribution);

    if (usable(m.towergrass, "grass", "towergrass.xml") && usable(m.grassbill, "grass", "grassbill.xml") &&
        usable(m.grasscross, "grass", "grasscross.xml")) {
        s.grass = createPlantSet();
        setSeed(*s.grass, 0.0f);
        setFullModel(*s.grass, m.towergrass);
        configure(*s.grass, {6.0f, 1.0f, 0.0f, 0.0f, -0.5f, 2.0f}, distribution);
        setBillboardModel(*s.grass, m.grassbill);
        setCrossBillboardModel(*s.grass, m.grasscross);
    }

    if (usable(m.bboy, "bboy", "bboy.xml")) {
        s.bboy = createPlantSet();
        setFullModel(*s.bboy, m.bboy);
        setSeed(*s.bboy, 0.0f);
        configure(*s.bboy, {15.0f, 1.0f, -10.0f, 10.0f, 1.0f, 4.0f}, distribution);
    }

    if (usable(m.spear, "spear", "spear.xml")) {
        s.spear = createPlantSet();
        setBillboardModel(*s.spear, m.spear);
        setSeed(*s.spear, 0.0f);
        configure(*s.spear, {15.0f, 1.0f, -10.0f, 10.0f, 1.0f, 4.0f}, distribution);
        setKeepProbability(*s.spear, 0.25f);
    }

    if (usable(m.broad16, "broad16", "broad16.xml"))
        s.broad16 = fullModelSet(m.broad16, {20.0f, 1.0f, -5.0f, 5.0f, -0.5f, 1.0f}, distribution);
    if (usable(m.broad01, "broad01", "broad01.xml"))
        s.broad01 = fullModelSet(m.broad01, {35.0f, 1.0f, -8.0f, 8.0f, 0.0f, 1.5f}, distribution);
    if (usable(m.flower8, "flower8", "flower8.xml"))
        s.flower8 = fullModelSet(m.flower8, {20.0f, 3.0f, -8.0f, 8.0f, 0.0f, 1.5f}, distribution);

    textureBrighten = 1;
    m.flower6 = loadSceneModel("flower6.xml");
    textureBrighten = 0;
    if (usable(m.flower6, "flower6", "flower6.xml"))
        s.flower6 = fullModelSet(m.flower6, {30.0f, 3.0f, -5.0f, 5.0f, 0.0f, 1.5f}, distribution);

    // The colour models are drawn in until placement shades each plant.
    setPlantColour(30.0f, 30.0f, 30.0f);
    setPlantColour(255.0f, 255.0f, 255.0f);
    setPlantColour(200.0f, 200.0f, 200.0f);
}

void drawPlantSets() {
    plantPolygons = 0;
    PlantSet* const order[] = {scenePlantSets.fern,    scenePlantSets.bboy,    scenePlantSets.spear,
                               scenePlantSets.broad16, scenePlantSets.broad01, scenePlantSets.flower8,
                               scenePlantSets.flower6};
    for (PlantSet* set : order)
        if (set) drawPlantSet(*set);
    if (showGrass) drawGrassSet();
}

void drawGrassSet() {
    if (scenePlantSets.grass) drawPlantSet(*scenePlantSets.grass);
}
