// skyBox.cpp -- placeholder: no faces drawn.
#include "sky/skyBox.h"

int skyEnabled = 1;

void setSkyTextures(const char*, const char*, const char*, const char*, const char*, const char*,
                    float, float, float, float) {}
void drawSkyBox(float, float, float) {}
int skyPolygonCount() { return skyEnabled ? 6 : 0; }
