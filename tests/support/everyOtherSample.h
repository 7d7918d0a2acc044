// everyOtherSample.h -- the smallest useful terrain algorithm, for the
// walk-through in docs/adding-a-terrain-algorithm.md and the test that
// measures it (tests/terrain/TerrainRegistryTest.cpp).
//
// Provides: EveryOtherSample.
// It draws the grid through every other sample in x and z (cells of 2 x 2
// samples, split as brute force splits its cells), with the base texture,
// the same every frame. Its invariants: the grid it is given has an odd
// number of samples on a side (2^n + 1, as every scene map), so the coarse
// cells cover the grid exactly; its triangles are 2 ((size - 1) / 2)^2 per
// frame; it ignores the error tolerance. Units: world units, as the grid's
// scales give them. Main thread, rendering context current (as every
// algorithm); it restores what it changes.
#pragma once

#include <string>
#include <vector>

#include "terrain/heightmap.h"
#include "terrain/terrainAlgorithm.h"

class EveryOtherSample : public TerrainAlgorithm {
public:
    // Identity: the next free number is the caller's to choose.
    explicit EveryOtherSample(int id = 690) : number(id) {}

    int id() const override { return number; }
    const char* menuLabel() const override { return "&Every Other Sample"; }
    const char* name() const override { return "everyother"; }
    std::vector<std::string> keywords() const override { return {"everyother"}; }
    bool honoursTolerance() const override { return false; }

    bool setUp(const Cheightmap& grid, std::string& failure) override;
    void release() override { heights.release(); }
    const Cheightmap* heightGrid() const override { return &heights; }

    void draw() override;
    int triangles() const override { return drawn; }
    void reportTitle() override;
    void drawMesh() override;

private:
    int number;
    Cheightmap heights;  // a copy of the scene's grid
    int drawn = 0;       // triangles of the last draw

    // Sends the coarse strips; with texture coordinates (s = x / size,
    // t = z / size) when textured. Returns the triangles sent.
    int sendStrips(bool textured) const;
    static void drawPass(void* context, int multiTex, float repeat);
};
