// roamAlgorithm.cpp -- ROAM 2.0 as a registered terrain algorithm; see
// roamAlgorithm.h.
#include "terrain/roamAlgorithm.h"

#include <GL/gl.h>

#include "scene/sceneConfig.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainFrame.h"

Croam roamTerrain;

namespace {

class RoamAlgorithm : public TerrainAlgorithm {
public:
    int id() const override { return terrainRoam; }
    const char* menuLabel() const override { return "&ROAM 2.0"; }
    const char* name() const override { return "roam"; }
    std::vector<std::string> keywords() const override { return {"roam"}; }
    bool honoursTolerance() const override { return true; }

    bool setUp(const Cheightmap& grid, std::string& failure) override {
        if (!roamTerrain.copyFrom(grid)) {
            failure = "no height grid to copy";
            return false;
        }
        const int n = grid.size;
        if (roamTerrain.setupRoam(roamLevelsFor(n), roamPoolSizeFor(n), roamTriangleSlotsFor(n))) return true;
        failure = "the mesh could not be built (the reason is above)";
        return false;
    }
    // The mesh is freed by the next set-up or at exit.
    void release() override {}
    const Cheightmap* heightGrid() const override { return &roamTerrain; }

    void update() override {
        // The title shows the extent as it was before this frame's mesh.
        for (int i = 0; i < 3; ++i) extent[i] = roamTerrain.roamExtent[i];
        roamTerrain.optimiseFrame();
    }
    void draw() override { roamTerrain.drawRoamFrame(); }
    int triangles() const override { return roamTerrain.drawnTriangles; }
    void reportTitle() override { reportTerrainTitle("ROAM %f %f %f", extent[0], extent[1], extent[2]); }

    // The current mesh; the optimiser is not stepped. Both faces are drawn:
    // the depth test alone decides what shows of a height field seen from
    // above.
    void drawMesh() override {
        glDisable(GL_CULL_FACE);
        roamTerrain.drawRoam();
    }

private:
    float extent[3] = {0.0f, 0.0f, 0.0f};
};

}  // namespace

TerrainAlgorithm& roamAlgorithm() {
    static RoamAlgorithm algorithm;
    return algorithm;
}
