// roam.cpp -- placeholder: no mesh, nothing drawn.
#include "terrain/roam.h"

bool Croam::setupRoam(int, int) { return false; }
void Croam::renderRoam() { triangleCount = 0; }
