// skyBox.h -- the camera-centred sky box.
//
// Provides: SkyBox, skyBox, skyEnabled, setSkyTextures, drawSkyBox,
// skyPolygonCount.
// An axis-aligned textured box of fixed size, re-centred on the camera every
// frame and drawn before the terrain, so terrain and plants cover its lower
// part; it never moves relative to the eye and shows no parallax. Faces 0-5
// lie on z = z0, z = z1, y = y0 (bottom), y = y1 (top), x = x0, x = x1.
// skyBox is written by setSkyTextures at scene set-up; skyEnabled by the
// menu and scripts. Main thread only.
#pragma once

struct SkyBox {
    unsigned faceTexture[6] = {0, 0, 0, 0, 0, 0};  // registered clamped
    float width = 0.0f;           // extent along x
    float depth = 0.0f;           // extent along z
    float height = 0.0f;          // extent along y
    float verticalOffset = 0.0f;  // how far the box centre lies above the camera
};

extern SkyBox skyBox;
extern int skyEnabled;  // default 1; menu "&Sky Box", turnSkyOn/Off

// Registers the six faces clamped (getClampedTexture) and stores the sizes.
// Note the order: depth (z extent) comes before width (x extent).
void setSkyTextures(const char* face0, const char* face1, const char* face2, const char* face3,
                    const char* face4, const char* face5, float depth, float width, float height,
                    float verticalOffset);

// Draws the box around the camera when skyEnabled is set. Saves and restores
// the enable, lighting and texture state; leaves the current colour white.
void drawSkyBox(float cameraX, float cameraY, float cameraZ);

// 6 when skyEnabled is set, else 0.
int skyPolygonCount();
