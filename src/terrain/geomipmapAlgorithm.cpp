// geomipmapAlgorithm.cpp -- geomipmapping as a registered terrain
// algorithm; see geomipmapAlgorithm.h.
#include "terrain/geomipmapAlgorithm.h"

#include <GL/gl.h>

#include <chrono>
#include <thread>

#include "scene/sceneConfig.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainFrame.h"
#include "util/output.h"

Cgeomipmap geomipTerrain;

namespace {

class GeomipmapAlgorithm : public TerrainAlgorithm {
public:
    int id() const override { return terrainGeomipmap; }
    const char* menuLabel() const override { return "&Geomipmapping"; }
    const char* name() const override { return "geomipmapping"; }
    std::vector<std::string> keywords() const override { return {"geo"}; }
    bool honoursTolerance() const override { return true; }

    bool setUp(const Cheightmap& grid, std::string& failure) override {
        const bool haveHeights = geomipTerrain.copyFrom(grid);
        // The sample at (25, 25) of both grids shows they agree.
        outputPrintf("SCC %f\n", haveHeights ? geomipTerrain.height(25, 25) : 0.0);
        outputPrintf("BF %f\n", grid.size > 25 ? grid.height(25, 25) : 0.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        const bool built = geomipTerrain.setupPatches(16);
        geomipTerrain.multiTextureDistance = 40.0f;
        if (built) return true;
        failure = haveHeights ? "the patches of 16 cells could not be built" : "no height grid to copy";
        return false;
    }
    void release() override { geomipTerrain.releasePatches(); }
    const Cheightmap* heightGrid() const override { return &geomipTerrain; }

    void update() override {
        // The title shows the extent as it was before this frame's drawing.
        for (int i = 0; i < 3; ++i) extent[i] = geomipExtent[i];
        geomipTerrain.updatePatches();
    }
    void draw() override { geomipTerrain.drawGeomipmapFrame(); }
    int triangles() const override { return geomipTerrain.triangleCount; }
    void reportTitle() override { reportTerrainTitle("GEOMIP %f %f %f", extent[0], extent[1], extent[2]); }

    // The patches as the last frame left them (levels and visibility), with
    // the single base texture pass: splatting, lighting and uniform
    // texturing are off while they are sent. Counts and extents stay.
    void drawMesh() override {
        const int splatting = splattingEnabled, lighting = lightmapEnabled, uniform = uniformTexturing;
        splattingEnabled = 0;
        lightmapEnabled = 0;
        uniformTexturing = 0;
        const int vertices = geomipTerrain.vertexCount, drawn = geomipTerrain.triangleCount;
        const int patches = geomipTerrain.patchesDrawn;
        const int multiTex = geomipTerrain.multiTexCoords, repeat = geomipTerrain.detailRepeat;
        const float kept[3] = {geomipExtent[0], geomipExtent[1], geomipExtent[2]};
        glFrontFace(GL_CCW);
        geomipTerrain.drawPatches();
        geomipTerrain.vertexCount = vertices;
        geomipTerrain.triangleCount = drawn;
        geomipTerrain.patchesDrawn = patches;
        geomipTerrain.multiTexCoords = multiTex;
        geomipTerrain.detailRepeat = repeat;
        for (int i = 0; i < 3; ++i) geomipExtent[i] = kept[i];
        splattingEnabled = splatting;
        lightmapEnabled = lighting;
        uniformTexturing = uniform;
    }

private:
    float extent[3] = {0.0f, 0.0f, 0.0f};
};

}  // namespace

TerrainAlgorithm& geomipmapAlgorithm() {
    static GeomipmapAlgorithm algorithm;
    return algorithm;
}
