// textures.h -- the terrain textures and the loading picture.
//
// Provides: makeForestFloor ("twig01ar.tga"), makeSandDetail
// ("tmsand10a.tga"), makeTerrainMaps (base colour "sbend1010.tga" and the
// coverage maps "leavesm1.tga" and "sandm1.tga"), makeLightmapTexture
// ("lightmap.tga"), makeLoadPicture ("load.tga"), averageColour.
// Terrain-wide pictures map texel (i, j) to grid point x = (i + 0.5) * 1025 /
// 1024 (likewise z for j), which is where the viewer's texture coordinates
// x / size and z / size put them; row 0 is grid row z = 0.
#pragma once

#include "image.h"
#include "terrain.h"

// Tiling detail of layer 1: mossy forest floor with leaves, twigs and grass.
Image makeForestFloor(uint32_t seed);
// Tiling detail of layer 2: sandy soil with grains and pebbles.
Image makeSandDetail(uint32_t seed);

struct TerrainMaps {
    Image base;   // sbend1010.tga
    Image leaves; // leavesm1.tga, coverage of layer 1
    Image sand;   // sandm1.tga, coverage of layer 2 (255 - leaves)
};
// Coverage and base colour over the whole terrain. Layer 1 covers where
// plants grow, thinning on rock and snow; layer 2 the rest. The base colour
// is the splatted ground seen from afar and nothing else: the two detail
// layers' mean colours weighted by their coverage. Unlit: the lightmap pass
// lights it as it lights the splatted ground.
TerrainMaps makeTerrainMaps(const Landscape& land, Vec3 layer1Average, Vec3 layer2Average, uint32_t seed);

// The lighting as a clamped 24-bit texture, warm in the sun and cool in
// the shade.
Image makeLightmapTexture(const Field& light);

// The picture shown while the scene loads, with the program's name.
Image makeLoadPicture(uint32_t seed);

Vec3 averageColour(const Image& image);
