// roam.h -- ROAM 2.0 terrain (placeholder until the diamond mesh lands).
#pragma once

#include "terrain/heightmap.h"

class Croam : public Cheightmap {
public:
    bool setupRoam(int levels, int poolSize);
    void renderRoam();
};
