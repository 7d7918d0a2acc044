// plantSet.cpp -- placeholder: no plants.
#include "vegetation/plantSet.h"

int plantLighting = 1;
int plantAlgorithm = 1;
int plantPolygons = 0;

void drawPlantSets() { plantPolygons = 0; }
void drawGrassSet() {}
void loadScenePlants() {}
