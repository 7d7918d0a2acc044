// geomipmap.h -- geomipmapping terrain (placeholder until the renderer lands).
#pragma once

#include "terrain/heightmap.h"

class Cgeomipmap : public Cheightmap {
public:
    bool setupPatches(int patchSize);
    void renderGeomipmap();
};
