// initScene.cpp -- placeholder: nothing is loaded yet.
#include "scene/initScene.h"

void initScene() {}
