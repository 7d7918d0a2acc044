// bruteForceAlgorithm.cpp -- brute force as a registered terrain algorithm;
// see bruteForceAlgorithm.h.
#include "terrain/bruteForceAlgorithm.h"

#include <GL/gl.h>

#include "scene/sceneConfig.h"
#include "terrain/bruteForce.h"
#include "terrain/sceneGrids.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainPopping.h"

namespace {

class BruteForceAlgorithm : public TerrainAlgorithm {
public:
    int id() const override { return terrainBruteForce; }
    const char* menuLabel() const override { return "&Brute Force"; }
    const char* name() const override { return "brute"; }
    std::vector<std::string> keywords() const override { return {"brute"}; }
    bool honoursTolerance() const override { return false; }

    // The scene's grid is this algorithm's own; another grid is copied.
    bool setUp(const Cheightmap& grid, std::string& failure) override {
        if (&grid == &bruteTerrain) return bruteTerrain.data != nullptr;
        if (bruteTerrain.copyFrom(grid)) return true;
        failure = "no height grid to copy";
        return false;
    }
    void release() override {}
    const Cheightmap* heightGrid() const override { return &bruteTerrain; }

    // The title shows the extents as they were before this frame's drawing.
    void update() override {
        for (int i = 0; i < 3; ++i) extent[i] = bruteExtent[i];
    }
    void draw() override { renderBruteForce(); }
    // Every pass redraws (and recounts) the whole grid.
    int triangles() const override {
        return bruteTerrain.triangleCount * (1 + splattingEnabled + lightmapEnabled);
    }
    void reportTitle() override { reportTerrainTitle("BRUTE %f %f %f", extent[0], extent[1], extent[2]); }

    // The whole grid once; the counts and extents the frame reported stay.
    void drawMesh() override {
        const float kept[3] = {bruteExtent[0], bruteExtent[1], bruteExtent[2]};
        const int vertices = bruteTerrain.vertexCount, drawn = bruteTerrain.triangleCount;
        glFrontFace(GL_CCW);
        drawBruteForce(bruteTerrain, 0, 1.0f);
        bruteTerrain.vertexCount = vertices;
        bruteTerrain.triangleCount = drawn;
        for (int i = 0; i < 3; ++i) bruteExtent[i] = kept[i];
    }

    // The mesh is always the whole grid: nothing is copied, the popping
    // instrument draws the grid again.
    std::unique_ptr<TerrainMeshCopy> copyMesh(Cheightmap&) override {
        return std::make_unique<FullGridCopy>(bruteTerrain);
    }

private:
    float extent[3] = {0.0f, 0.0f, 0.0f};
};

}  // namespace

TerrainAlgorithm& bruteForceAlgorithm() {
    static BruteForceAlgorithm algorithm;
    return algorithm;
}
