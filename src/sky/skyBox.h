// skyBox.h -- the camera-centred sky box (placeholder until it lands).
#pragma once

extern int skyEnabled;  // default 1; menu "&Sky Box", turnSkyOn/Off

void setSkyTextures(const char* face0, const char* face1, const char* face2, const char* face3,
                    const char* face4, const char* face5, float depth, float width, float height,
                    float verticalOffset);
void drawSkyBox(float cameraX, float cameraY, float cameraZ);
int skyPolygonCount();
