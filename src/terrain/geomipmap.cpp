// geomipmap.cpp -- placeholder: no patches, nothing drawn.
#include "terrain/geomipmap.h"

bool Cgeomipmap::setupPatches(int) { return false; }
void Cgeomipmap::renderGeomipmap() { triangleCount = 0; }
