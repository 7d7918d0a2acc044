// frustum.cpp -- placeholder: everything is visible.
#include "camera/frustum.h"

int frustumCulling = 1;

void extractFrustum() {}
bool boxInFrustum(float, float, float, float, float, float) { return true; }
bool rotatedBoxInFrustum(float, float, float, float, float, float, float) { return true; }
