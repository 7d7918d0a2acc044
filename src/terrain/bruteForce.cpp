// bruteForce.cpp -- the brute-force terrain renderer; see bruteForce.h.
//
// Rule shared with splatting.cpp and geomipmap.cpp: each pass leaves unit 0
// active and restores its enables, blending and colour; texture bindings are
// reset by the frame driver after the terrain.
#include "terrain/bruteForce.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>

#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "terrain/heightmap.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"

float bruteExtent[3] = {0.0f, 0.0f, 0.0f};

namespace {

GLubyte colourByte(float value) {
    // Truncation, kept inside the byte range.
    return static_cast<GLubyte>(std::clamp(value, 0.0f, 255.0f));
}

inline void bruteVertex(const Cheightmap& terrain, bool twoSets, float repeat, int x, int z, float s, float t) {
    if (twoSets) {
        glMultiTexCoord2fARB_(GL_TEXTURE0_ARB, s * repeat, t * repeat);
        glMultiTexCoord2fARB_(GL_TEXTURE1_ARB, s, t);
    } else {
        glTexCoord2f(s, t);
    }
    glVertex3f(static_cast<float>(x) * terrain.xScale, static_cast<float>(terrain.height(x, z)),
               static_cast<float>(z) * terrain.zScale);
}

void drawBrutePass(void* context, int multiTex, float repeat) {
    drawBruteForce(*static_cast<Cheightmap*>(context), multiTex, repeat);
}

}  // namespace

void drawBruteForce(Cheightmap& terrain, int multiTex, float repeat) {
    terrain.vertexCount = 0;
    terrain.triangleCount = 0;
    glEnable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glColor3ub(colourByte(terrainColour[0]), colourByte(terrainColour[1]), colourByte(terrainColour[2]));
    if (!terrain.data || terrain.size < 2) return;

    const int size = terrain.size;
    const float fsize = static_cast<float>(size);
    // Two coordinate sets need the multitexture entry point; without it the
    // unscaled set alone is sent.
    const bool twoSets = multiTex != 0 && glMultiTexCoord2fARB_ != nullptr;
    for (int z = 0; z < size - 1; ++z) {
        // The division is by size, so the far edge reaches (size - 1) / size.
        const float t0 = static_cast<float>(z) / fsize;
        const float t1 = static_cast<float>(z + 1) / fsize;
        glBegin(GL_TRIANGLE_STRIP);
        for (int x = 0; x < size; ++x) {
            const float s = static_cast<float>(x) / fsize;
            bruteVertex(terrain, twoSets, repeat, x, z, s, t0);
            bruteVertex(terrain, twoSets, repeat, x, z + 1, s, t1);
            // Both vertices count for the height extent, so row 0 is not
            // left out of it.
            const float top = static_cast<float>(std::max(terrain.height(x, z), terrain.height(x, z + 1)));
            bruteExtent[0] = std::max(bruteExtent[0], static_cast<float>(x));
            bruteExtent[1] = std::max(bruteExtent[1], top);
            bruteExtent[2] = std::max(bruteExtent[2], static_cast<float>(z + 1));
            terrain.vertexCount += 2;
            if (x > 0) terrain.triangleCount += 2;
        }
        glEnd();
    }
}

void renderBruteForce() {
    reportTerrainTitle("BRUTE %f %f %f", bruteExtent[0], bruteExtent[1], bruteExtent[2]);
    // The colour is saved by hand: Mesa does not reliably restore it from the
    // attribute stack when other groups are pushed and popped in between.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    if (splattingEnabled) {
        drawSplattingPasses(drawBrutePass, &bruteTerrain, false);
        if (lightmapEnabled) drawLightmapPass(drawBrutePass, &bruteTerrain, 1, true);
    } else {
        drawBaseTexturePass(drawBrutePass, &bruteTerrain);
        // Brute force darkens by the lightmap with and without splatting.
        if (lightmapEnabled) drawLightmapPass(drawBrutePass, &bruteTerrain, 0, true);
    }
    glPopAttrib();
    glColor4fv(colour);
}
