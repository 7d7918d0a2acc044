// skyBox.cpp -- the camera-centred sky box; see skyBox.h.
#include "sky/skyBox.h"

#include <GL/gl.h>

#include "image/textureRegistry.h"

SkyBox skyBox;
int skyEnabled = 1;

void setSkyTextures(const char* face0, const char* face1, const char* face2, const char* face3,
                    const char* face4, const char* face5, float depth, float width, float height,
                    float verticalOffset) {
    const char* files[6] = {face0, face1, face2, face3, face4, face5};
    for (int face = 0; face < 6; ++face) skyBox.faceTexture[face] = files[face] ? getClampedTexture(files[face]) : 0;
    skyBox.depth = depth;
    skyBox.width = width;
    skyBox.height = height;
    skyBox.verticalOffset = verticalOffset;
}

namespace {

inline void skyVertex(float s, float t, float x, float y, float z) {
    glTexCoord2f(s, t);
    glVertex3f(x, y, z);
}

}  // namespace

void drawSkyBox(float cameraX, float cameraY, float cameraZ) {
    if (!skyEnabled) return;
    const float x0 = cameraX - skyBox.width / 2.0f;
    const float x1 = x0 + skyBox.width;
    const float y0 = cameraY + skyBox.verticalOffset - skyBox.height / 2.0f;
    const float y1 = y0 + skyBox.height;
    const float z0 = cameraZ - skyBox.depth / 2.0f;
    const float z1 = z0 + skyBox.depth;

    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_TEXTURE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glColor3ub(255, 255, 255);

    // Face 0: z = z0.
    glBindTexture(GL_TEXTURE_2D, skyBox.faceTexture[0]);
    glBegin(GL_QUADS);
    skyVertex(1, 0, x1, y0, z0);
    skyVertex(1, 1, x1, y1, z0);
    skyVertex(0, 1, x0, y1, z0);
    skyVertex(0, 0, x0, y0, z0);
    glEnd();

    // Face 1: z = z1.
    glBindTexture(GL_TEXTURE_2D, skyBox.faceTexture[1]);
    glBegin(GL_QUADS);
    skyVertex(1, 0, x0, y0, z1);
    skyVertex(1, 1, x0, y1, z1);
    skyVertex(0, 1, x1, y1, z1);
    skyVertex(0, 0, x1, y0, z1);
    glEnd();

    // Face 2: y = y0, the bottom.
    glBindTexture(GL_TEXTURE_2D, skyBox.faceTexture[2]);
    glBegin(GL_QUADS);
    skyVertex(1, 0, x0, y0, z0);
    skyVertex(1, 1, x0, y0, z1);
    skyVertex(0, 1, x1, y0, z1);
    skyVertex(0, 0, x1, y0, z0);
    glEnd();

    // Face 3: y = y1, the top.
    glBindTexture(GL_TEXTURE_2D, skyBox.faceTexture[3]);
    glBegin(GL_QUADS);
    skyVertex(0, 1, x1, y1, z0);
    skyVertex(0, 0, x1, y1, z1);
    skyVertex(1, 0, x0, y1, z1);
    skyVertex(1, 1, x0, y1, z0);
    glEnd();

    // Face 4: x = x0.
    glBindTexture(GL_TEXTURE_2D, skyBox.faceTexture[4]);
    glBegin(GL_QUADS);
    skyVertex(1, 1, x0, y1, z0);
    skyVertex(0, 1, x0, y1, z1);
    skyVertex(0, 0, x0, y0, z1);
    skyVertex(1, 0, x0, y0, z0);
    glEnd();

    // Face 5: x = x1.
    glBindTexture(GL_TEXTURE_2D, skyBox.faceTexture[5]);
    glBegin(GL_QUADS);
    skyVertex(0, 0, x1, y0, z0);
    skyVertex(1, 0, x1, y0, z1);
    skyVertex(1, 1, x1, y1, z1);
    skyVertex(0, 1, x1, y1, z0);
    glEnd();

    glPopAttrib();
}

int skyPolygonCount() { return skyEnabled ? 6 : 0; }
