// quadTree.cpp -- the quad-tree entry; see quadTree.h.
#include "terrain/quadTree.h"

#include "scene/sceneConfig.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainFrame.h"

namespace {

class QuadTreeAlgorithm : public TerrainAlgorithm {
public:
    int id() const override { return terrainQuadTree; }
    // Empty: no item in the named menu.
    const char* menuLabel() const override { return ""; }
    const char* name() const override { return "quadtree"; }
    std::vector<std::string> keywords() const override { return {"quad"}; }
    bool honoursTolerance() const override { return false; }
    bool drawsTerrain() const override { return false; }
    bool setUp(const Cheightmap&, std::string&) override { return true; }
    void release() override {}
    void draw() override {}
    int triangles() const override { return 0; }
    void reportTitle() override { reportTerrainTitle("QUADTREE"); }
    void drawMesh() override {}
};

}  // namespace

TerrainAlgorithm& quadTreeAlgorithm() {
    static QuadTreeAlgorithm algorithm;
    return algorithm;
}
