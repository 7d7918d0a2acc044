// terrainRegistry.cpp -- the registry of terrain algorithms; see
// terrainAlgorithm.h. Main thread only.
//
// An algorithm joins the program by one line in the table below (its
// header's accessor), in menu order; tests and plug-ins add theirs at run
// time with registerTerrainAlgorithm.
#include <algorithm>
#include <set>

#include "scene/sceneConfig.h"
#include "terrain/bruteForceAlgorithm.h"
#include "terrain/cdlod.h"
#include "terrain/clipmap.h"
#include "terrain/geomipmapAlgorithm.h"
#include "terrain/quadTree.h"
#include "terrain/roamAlgorithm.h"
#include "terrain/sceneGrids.h"
#include "terrain/terrainAlgorithm.h"
#include "util/output.h"

namespace {

std::vector<TerrainAlgorithm*> builtInTable() {
    return {
        &bruteForceAlgorithm(),  // 600
        &geomipmapAlgorithm(),   // 601
        &quadTreeAlgorithm(),    // 602
        &roamAlgorithm(),        // 603
        &cdlodAlgorithm(),       // 604
        &clipmapAlgorithm(),     // 605
    };
}

std::vector<TerrainAlgorithm*>& registry() {
    static std::vector<TerrainAlgorithm*> table = builtInTable();
    return table;
}

// Entries whose last set-up failed, with the reason: they cannot be
// selected until a set-up succeeds.
std::vector<std::pair<const TerrainAlgorithm*, std::string>>& failedSetUps() {
    static std::vector<std::pair<const TerrainAlgorithm*, std::string>> failed;
    return failed;
}

void forgetFailure(const TerrainAlgorithm* algorithm) {
    auto& failed = failedSetUps();
    failed.erase(std::remove_if(failed.begin(), failed.end(),
                                [algorithm](const auto& entry) { return entry.first == algorithm; }),
                 failed.end());
}

std::string plainLabel(const TerrainAlgorithm& algorithm) {
    std::string label;
    for (const char* c = algorithm.menuLabel(); *c; ++c)
        if (*c != '&') label += *c;
    return label.empty() ? algorithm.name() : label;
}

// One algorithm on grid, then its grid against grid.
bool setUpOne(TerrainAlgorithm& algorithm, const Cheightmap& grid, const std::string& heightFile,
              std::string& failure) {
    forgetFailure(&algorithm);
    std::string why;
    if (!algorithm.setUp(grid, why)) {
        failure = "The " + plainLabel(algorithm) + " terrain cannot be set up from " + heightFile + ": " + why;
        failedSetUps().emplace_back(&algorithm, failure);
        return false;
    }
    const Cheightmap* own = algorithm.heightGrid();
    if (own && !own->sameSamples(grid)) {
        failure = "The " + plainLabel(algorithm) + " terrain's heights differ from those read from " + heightFile +
                  ": every terrain algorithm must draw the samples of that file";
        failedSetUps().emplace_back(&algorithm, failure);
        return false;
    }
    return true;
}

}  // namespace

const std::vector<TerrainAlgorithm*>& terrainAlgorithms() { return registry(); }

TerrainAlgorithm* findTerrainAlgorithm(int id) {
    for (TerrainAlgorithm* algorithm : registry())
        if (algorithm->id() == id) return algorithm;
    return nullptr;
}

TerrainAlgorithm* matchTerrainAlgorithm(const std::string& name) {
    for (TerrainAlgorithm* algorithm : registry())
        for (const std::string& keyword : algorithm->keywords())
            if (!keyword.empty() && name.find(keyword) != std::string::npos) return algorithm;
    return nullptr;
}

TerrainAlgorithm* selectedTerrainAlgorithm() { return findTerrainAlgorithm(terrainAlgorithm); }

bool terrainAlgorithmSelectable(int id, std::string& why) {
    TerrainAlgorithm* algorithm = findTerrainAlgorithm(id);
    if (!algorithm) {
        why = "no terrain algorithm has the number " + std::to_string(id);
        return false;
    }
    std::string missing;
    if (!algorithm->available(missing)) {
        why = plainLabel(*algorithm) + " cannot be selected: " + (missing.empty() ? "not available here" : missing);
        return false;
    }
    for (const auto& entry : failedSetUps())
        if (entry.first == algorithm) {
            why = entry.second;
            return false;
        }
    return true;
}

bool registerTerrainAlgorithm(TerrainAlgorithm* algorithm, std::string* failure) {
    std::string why;
    if (!algorithm) why = "no algorithm given";
    else if (findTerrainAlgorithm(algorithm->id()))
        why = "the number " + std::to_string(algorithm->id()) + " is taken";
    else if (bruteTerrain.data && !setUpOne(*algorithm, bruteTerrain, "the loaded height grid", why))
        forgetFailure(algorithm);
    else {
        registry().push_back(algorithm);
        return true;
    }
    if (failure) *failure = why;
    return false;
}

void unregisterTerrainAlgorithm(TerrainAlgorithm* algorithm) {
    const std::vector<TerrainAlgorithm*> builtIn = builtInTable();
    if (std::find(builtIn.begin(), builtIn.end(), algorithm) != builtIn.end()) return;
    auto& table = registry();
    table.erase(std::remove(table.begin(), table.end(), algorithm), table.end());
    forgetFailure(algorithm);
}

bool setUpTerrainAlgorithms(const Cheightmap& grid, const std::string& heightFile, std::string& failure) {
    bool allSame = true;
    for (TerrainAlgorithm* algorithm : registry()) {
        std::string why;
        if (setUpOne(*algorithm, grid, heightFile, why)) continue;
        outputPrintf("%s\n", why.c_str());
        // A grid that differs from the scene's makes every comparison wrong:
        // the scene is not built. An algorithm that cannot be set up is left
        // out (it cannot be selected) and the others go on.
        const Cheightmap* own = algorithm->heightGrid();
        if (own && own->data && !own->sameSamples(grid) && allSame) {
            allSame = false;
            failure = why;
        }
    }
    return allSame;
}

void releaseTerrainAlgorithms() {
    for (TerrainAlgorithm* algorithm : registry()) algorithm->release();
}
