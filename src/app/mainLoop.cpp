// mainLoop.cpp -- placeholder frame driver.
#include "app/mainLoop.h"

int scenePolygons = 0;
int lastScenePolygons = 0;
double frameSeconds = 0.0;
float frameCameraX = 0.0f, frameCameraY = 0.0f, frameCameraZ = 0.0f;
int gridEnabled = 0;

int runMainLoop() { return 0; }
void renderScene() {}
void renderFrame() {}
