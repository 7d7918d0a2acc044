// terrainFrame.cpp -- placeholder frame driver: draws nothing yet.
#include "terrain/terrainFrame.h"

float terrainColour[3] = {255.0f, 255.0f, 255.0f};

void setTerrainColour(float r, float g, float b) {
    terrainColour[0] = r;
    terrainColour[1] = g;
    terrainColour[2] = b;
}

int renderTerrainFrame() { return 0; }
