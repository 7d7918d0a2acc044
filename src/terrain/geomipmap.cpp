// geomipmap.cpp -- geomipmapping terrain; see geomipmap.h.
//
// Rule shared with splatting.cpp and bruteForce.cpp: each pass leaves unit 0
// active and restores its enables, blending and colour; texture bindings are
// reset by the frame driver after the terrain.
#include "terrain/geomipmap.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"
#include "util/output.h"

float geomipExtent[3] = {0.0f, 0.0f, 0.0f};

namespace {

// What a texturing pass needs to draw the fans of one patch.
struct PatchPassContext {
    Cgeomipmap* terrain;
    int px, pz, step, patchFlags;
};

}  // namespace

Cgeomipmap::~Cgeomipmap() { releasePatches(); }

void Cgeomipmap::releasePatches() {
    delete[] patches;
    patches = nullptr;
    patchSize = 0;
    patchesPerSide = 0;
}

bool Cgeomipmap::setupPatches(int newPatchSize) {
    if (size == 0 || !data) return false;
    if (patches) releasePatches();
    if (newPatchSize < 2 || (newPatchSize & (newPatchSize - 1)) != 0 || newPatchSize > size - 1) {
        outputPrintf("setupPatches: patch size %d does not fit a %d map (a power of two from 2 to %d)\n",
                     newPatchSize, size, size - 1);
        return false;
    }
    patchSize = newPatchSize;
    // Patches cover grid points 0 .. patchesPerSide * patchSize, which must
    // stay inside the map: (size - 1) / patchSize, the same as size /
    // patchSize for the 2^n + 1 sizes of the scene.
    patchesPerSide = (size - 1) / patchSize;
    const int count = patchesPerSide * patchesPerSide;
    patches = new (std::nothrow) GeomipPatch[count];
    if (!patches) {
        releasePatches();
        return false;
    }
    maxLevel = 0;
    for (int side = patchSize; side > 2; side >>= 1) ++maxLevel;
    outputPrintf("patchesperside %d\n", patchesPerSide);

    for (int pz = 0; pz < patchesPerSide; ++pz) {
        for (int px = 0; px < patchesPerSide; ++px) {
            GeomipPatch& patch = patches[patchIndex(px, pz)];
            patch.level = maxLevel;
            patch.visible = 1;
            patch.maxY = 0.0f;
            patch.minY = 1000.0f;
            patch.distance = 0.0f;
            // The last row and column are the next patch's first.
            for (int z = pz * patchSize; z < pz * patchSize + patchSize; ++z) {
                for (int x = px * patchSize; x < px * patchSize + patchSize; ++x) {
                    const float h = static_cast<float>(height(x, z));
                    // Every sample is compared with both bounds, so a run of
                    // falling samples at the start cannot hide the highest.
                    if (h < patch.minY) patch.minY = h;
                    if (h > patch.maxY) patch.maxY = h;
                }
            }
            outputPrintf("maxy %f miny %f\n", patch.maxY, patch.minY);
        }
    }
    patchesDrawn = 0;
    vertexCount = 0;
    triangleCount = 0;
    return true;
}

int Cgeomipmap::clampedLevel(int index) const { return std::clamp(patches[index].level, 0, maxLevel); }

void Cgeomipmap::updatePatches() {
    if (!patches) return;
    float cameraX, cameraY, cameraZ;
    getCameraPositionXYZ(cameraX, cameraY, cameraZ);
    const float half = static_cast<float>(patchSize) / 2.0f;
    for (int pz = 0; pz < patchesPerSide; ++pz) {
        for (int px = 0; px < patchesPerSide; ++px) {
            GeomipPatch& patch = patches[patchIndex(px, pz)];
            const float centreX = (static_cast<float>(px * patchSize) + half) * xScale;
            const float centreZ = (static_cast<float>(pz * patchSize) + half) * zScale;
            const float centreY = patch.minY + (patch.maxY - patch.minY) / 2.0f;
            // The full side lengths and height range serve as half extents:
            // the box tested is twice the patch in every direction.
            patch.visible = boxInFrustum(centreX, centreY, centreZ, static_cast<float>(patchSize) * xScale,
                                         patch.maxY - patch.minY, static_cast<float>(patchSize) * zScale)
                                ? 1
                                : 0;
            if (!patch.visible) continue;  // keeps its distance and level
            const float dx = centreX - cameraX;
            const float dy = centreY - cameraY;
            const float dz = centreZ - cameraZ;
            patch.distance = std::sqrt(dx * dx + dy * dy + dz * dz);
            int level;
            if (patch.distance < lodDistance1)
                level = 0;
            else if (patch.distance < lodDistance2)
                level = 1;
            else if (patch.distance < lodDistance3)
                level = 2;
            else
                level = 3;
            // Smaller patches have fewer levels: the coarsest fan covers the patch.
            patch.level = std::min(level, maxLevel);
        }
    }
    limitLevelSteps();
}

// Dropping one mid-edge vertex closes the border against a neighbour one
// level coarser, not two: where steep terrain puts neighbouring patch
// centres more than 40 units apart in distance, the coarser patch is
// refined until visible neighbours differ by at most one level. Levels only
// fall, so this ends after a few sweeps.
void Cgeomipmap::limitLevelSteps() {
    bool changed = true;
    while (changed) {
        changed = false;
        for (int pz = 0; pz < patchesPerSide; ++pz) {
            for (int px = 0; px < patchesPerSide; ++px) {
                const GeomipPatch& patch = patches[patchIndex(px, pz)];
                if (!patch.visible) continue;
                const int neighbours[4][2] = {{px - 1, pz}, {px, pz + 1}, {px + 1, pz}, {px, pz - 1}};
                for (const auto& n : neighbours) {
                    if (n[0] < 0 || n[1] < 0 || n[0] >= patchesPerSide || n[1] >= patchesPerSide) continue;
                    GeomipPatch& other = patches[patchIndex(n[0], n[1])];
                    if (other.visible && other.level > patch.level + 1) {
                        other.level = patch.level + 1;
                        changed = true;
                    }
                }
            }
        }
    }
}

void Cgeomipmap::drawPatches() {
    patchesDrawn = 0;
    vertexCount = 0;
    triangleCount = 0;
    if (!patches) return;
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    // The passes modulate by the current colour: start from opaque white
    // whatever the sky, plants or brute force left behind.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (int pz = 0; pz < patchesPerSide; ++pz) {
        for (int px = 0; px < patchesPerSide; ++px) {
            if (!patches[patchIndex(px, pz)].visible) continue;
            drawPatch(px, pz);
            ++patchesDrawn;
        }
    }
}

void Cgeomipmap::drawPatch(int px, int pz) {
    if (!patches || px < 0 || pz < 0 || px >= patchesPerSide || pz >= patchesPerSide) return;
    const int index = patchIndex(px, pz);
    const int level = clampedLevel(index);

    // A side keeps its mid-edge vertices unless a coarser neighbour lies
    // there; the terrain's outer border has no neighbour and always keeps them.
    int patchFlags = fanAllSides;
    if (px != 0 && clampedLevel(patchIndex(px - 1, pz)) > level) patchFlags &= ~fanWest;
    if (pz != patchesPerSide - 1 && clampedLevel(patchIndex(px, pz + 1)) > level) patchFlags &= ~fanNorth;
    if (px != patchesPerSide - 1 && clampedLevel(patchIndex(px + 1, pz)) > level) patchFlags &= ~fanEast;
    if (pz != 0 && clampedLevel(patchIndex(px, pz - 1)) > level) patchFlags &= ~fanSouth;

    // patchSize / (patchSize >> (level + 1)): 2, 4, 8, 16 for levels 0-3.
    const int step = 2 << level;
    PatchPassContext context{this, px, pz, step, patchFlags};

    if (!splattingEnabled) {
        // Unsplatted geomipmapping draws no lightmap pass.
        drawBaseTexturePass(drawPatchPass, &context);
        return;
    }
    const float distance = patches[index].distance;
    if (distance < multiTextureDistance) {
        drawSplattingPasses(drawPatchPass, &context, true);
    } else if (distance < multiTextureDistance + baseFadeRange) {
        drawSplattingPasses(drawPatchPass, &context, true);
        drawBaseFadePass(drawPatchPass, &context, (distance - multiTextureDistance) / baseFadeRange);
    } else {
        drawBaseTexturePass(drawPatchPass, &context);
    }
    if (lightmapEnabled) drawLightmapPass(drawPatchPass, &context, 0, false);
}

void Cgeomipmap::drawPatchPass(void* context, int multiTex, float repeat) {
    const PatchPassContext& pass = *static_cast<const PatchPassContext*>(context);
    pass.terrain->multiTexCoords = multiTex;
    pass.terrain->detailRepeat = static_cast<int>(repeat);
    pass.terrain->drawPatchFans(pass.px, pass.pz, pass.step, pass.patchFlags);
}

void Cgeomipmap::drawPatchFans(int px, int pz, int step, int patchFlags) {
    const int h = step / 2;
    const int baseX = px * patchSize;
    const int baseZ = pz * patchSize;
    // Only fans on the patch border can lose a mid-edge vertex.
    for (int z = h; z + h <= patchSize; z += step) {
        for (int x = h; x + h <= patchSize; x += step) {
            int flags = fanAllSides;
            if (x == h && !(patchFlags & fanWest)) flags &= ~fanWest;
            if (z >= patchSize - h && !(patchFlags & fanNorth)) flags &= ~fanNorth;
            if (x >= patchSize - h && !(patchFlags & fanEast)) flags &= ~fanEast;
            if (z == h && !(patchFlags & fanSouth)) flags &= ~fanSouth;
            drawFan(baseX + x, baseZ + z, step, flags);
        }
    }
}

void Cgeomipmap::fanVertex(int x, int z, float u, float v) {
    const float worldX = static_cast<float>(x) * xScale;
    const float worldY = static_cast<float>(height(x, z));
    const float worldZ = static_cast<float>(z) * zScale;
    geomipExtent[0] = std::max(geomipExtent[0], worldX);
    geomipExtent[1] = std::max(geomipExtent[1], worldY);
    geomipExtent[2] = std::max(geomipExtent[2], worldZ);
    if (multiTexCoords && glMultiTexCoord2fARB_) {
        const float repeat = static_cast<float>(detailRepeat);
        glMultiTexCoord2fARB_(GL_TEXTURE0_ARB, repeat * u, repeat * v);
        glMultiTexCoord2fARB_(GL_TEXTURE1_ARB, u, v);
    } else {
        glTexCoord2f(u, v);
    }
    glVertex3f(worldX, worldY, worldZ);
    ++vertexCount;
}

void Cgeomipmap::drawFan(int cx, int cz, int s, int flags) {
    const int h = s / 2;
    const float fsize = static_cast<float>(size);
    const float s0 = static_cast<float>(std::abs(cx - h)) / fsize;
    const float s1 = static_cast<float>(std::abs(cx + h)) / fsize;
    const float t0 = static_cast<float>(std::abs(cz - h)) / fsize;
    const float t1 = static_cast<float>(std::abs(cz + h)) / fsize;
    const float sc = (s0 + s1) / 2.0f;
    const float tc = (t0 + t1) / 2.0f;

    // Counter-clockwise seen from above: west side, north, east, south.
    glBegin(GL_TRIANGLE_FAN);
    fanVertex(cx, cz, sc, tc);
    fanVertex(cx - h, cz - h, s0, t0);
    if (flags & fanWest) {
        fanVertex(cx - h, cz, s0, tc);
        ++triangleCount;
    }
    fanVertex(cx - h, cz + h, s0, t1);
    ++triangleCount;
    if (flags & fanNorth) {
        fanVertex(cx, cz + h, sc, t1);
        ++triangleCount;
    }
    fanVertex(cx + h, cz + h, s1, t1);
    ++triangleCount;
    if (flags & fanEast) {
        fanVertex(cx + h, cz, s1, tc);
        ++triangleCount;
    }
    fanVertex(cx + h, cz - h, s1, t0);
    ++triangleCount;
    if (flags & fanSouth) {
        fanVertex(cx, cz - h, sc, t0);
        ++triangleCount;
    }
    fanVertex(cx - h, cz - h, s0, t0);
    ++triangleCount;
    glEnd();
}

void Cgeomipmap::renderGeomipmap() {
    reportTerrainTitle("GEOMIP %f %f %f", geomipExtent[0], geomipExtent[1], geomipExtent[2]);
    // The colour is saved by hand: Mesa does not reliably restore it from the
    // attribute stack when other groups are pushed and popped in between.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
    glFrontFace(GL_CCW);
    glDisable(GL_CULL_FACE);
    updatePatches();
    glPushMatrix();
    drawPatches();
    glPopMatrix();
    glPopAttrib();
    glColor4fv(colour);
}
