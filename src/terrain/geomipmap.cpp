// geomipmap.cpp -- geomipmapping terrain; see geomipmap.h.
//
// Rule shared with splatting.cpp and bruteForce.cpp: each pass leaves unit 0
// active and restores its enables, blending and colour; texture bindings are
// reset by the frame driver after the terrain. The batched draws also save
// and restore the client array state and leave no buffer bound.
#include "terrain/geomipmap.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
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

constexpr int sideVariants = 16;  // combinations of the four GeomipFanSide flags
constexpr int fadeStride = 9;     // floats per fade vertex: x y z s t r g b a

const std::vector<int> noTemplate;

}  // namespace

// One group of patches drawn by a texturing pass: indices into the vertex
// buffer, a second list drawn after them in the same pass, or the fade
// vertices with their colours.
struct Cgeomipmap::Batch {
    Cgeomipmap* terrain;
    const std::vector<unsigned>* indices;
    const std::vector<unsigned>* second;
    bool fade;
    int triangles;  // triangles and fan vertices one pass of the batch draws
    int vertices;
};

Cgeomipmap::~Cgeomipmap() {
    // No rendering context may be current here (the process is ending): the
    // buffer goes with the context.
    freeMemory();
}

void Cgeomipmap::freeMemory() {
    delete[] patches;
    patches = nullptr;
    patchSize = 0;
    patchesPerSide = 0;
    std::vector<GeomipVertex>().swap(vertices);
    templates.clear();
    fanCounts.clear();
    levelHeights.clear();
    heightRanges.clear();
    levelErrors.clear();
    morphs.clear();
    std::vector<GeomipVertex>().swap(morphedVertices);
    morphActive = false;
    vertexBuffer = 0;
    vertexBufferTried = false;
}

void Cgeomipmap::releasePatches() {
    if (vertexBuffer) {
        const GLuint name = vertexBuffer;
        glDeleteBuffers(1, &name);
    }
    freeMemory();
}

const std::vector<int>& Cgeomipmap::fanTemplate(int level, int sides) const {
    if (level < 0 || level > maxLevel || templates.empty()) return noTemplate;
    return templates[static_cast<size_t>(level) * sideVariants + (sides & fanAllSides)];
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
            outputDiagnosticPrintf("maxy %f miny %f\n", patch.maxY, patch.minY);
        }
    }
    try {
        buildTemplates();
        buildVertices();
        scanLevelHeights();
        measureLevelErrors();
    } catch (const std::bad_alloc&) {
        outputPrintf("setupPatches: not enough memory for the %d map's vertices\n", size);
        releasePatches();
        return false;
    }
    patchesDrawn = 0;
    vertexCount = 0;
    triangleCount = 0;
    return true;
}

// The fan vertices of one fan (cx, cz, half step h) in drawing order, as
// patch grid offsets: the centre, then counter-clockwise seen from above
// the corners and the kept mid-edge vertices, back to the first corner.
static int fanOutline(int cx, int cz, int h, int flags, int (*points)[2]) {
    int n = 0;
    auto add = [&](int x, int z) {
        points[n][0] = x;
        points[n][1] = z;
        ++n;
    };
    add(cx, cz);
    add(cx - h, cz - h);
    if (flags & fanWest) add(cx - h, cz);
    add(cx - h, cz + h);
    if (flags & fanNorth) add(cx, cz + h);
    add(cx + h, cz + h);
    if (flags & fanEast) add(cx + h, cz);
    add(cx + h, cz - h);
    if (flags & fanSouth) add(cx, cz - h);
    add(cx - h, cz - h);
    return n;
}

// The fan flags of the fan at (x, z) of a patch whose sides keep their
// mid-edge vertices by sides: only fans on the patch border lose any.
static int fanFlags(int x, int z, int h, int patchSize, int sides) {
    int flags = fanAllSides;
    if (x == h && !(sides & fanWest)) flags &= ~fanWest;
    if (z >= patchSize - h && !(sides & fanNorth)) flags &= ~fanNorth;
    if (x >= patchSize - h && !(sides & fanEast)) flags &= ~fanEast;
    if (z == h && !(sides & fanSouth)) flags &= ~fanSouth;
    return flags;
}

void Cgeomipmap::buildTemplates() {
    templates.assign(static_cast<size_t>(maxLevel + 1) * sideVariants, {});
    fanCounts.assign(templates.size(), 0);
    for (int level = 0; level <= maxLevel; ++level) {
        const int step = 2 << level;
        const int h = step / 2;
        for (int sides = 0; sides < sideVariants; ++sides) {
            std::vector<int>& triangles = templates[static_cast<size_t>(level) * sideVariants + sides];
            int fans = 0;
            for (int z = h; z + h <= patchSize; z += step) {
                for (int x = h; x + h <= patchSize; x += step) {
                    int points[10][2];
                    const int n = fanOutline(x, z, h, fanFlags(x, z, h, patchSize, sides), points);
                    // A fan (v0, v1, ..., vn-1) is the triangles (v0, vi, vi+1).
                    for (int i = 1; i + 1 < n; ++i) {
                        triangles.push_back(points[0][1] * size + points[0][0]);
                        triangles.push_back(points[i][1] * size + points[i][0]);
                        triangles.push_back(points[i + 1][1] * size + points[i + 1][0]);
                    }
                    ++fans;
                }
            }
            fanCounts[static_cast<size_t>(level) * sideVariants + sides] = fans;
        }
    }
}

void Cgeomipmap::buildVertices() {
    vertices.resize(static_cast<size_t>(size) * size);
    const float fsize = static_cast<float>(size);
    for (int z = 0; z < size; ++z) {
        for (int x = 0; x < size; ++x) {
            GeomipVertex& v = vertices[static_cast<size_t>(z) * size + x];
            v.x = static_cast<float>(x) * xScale;
            v.y = static_cast<float>(height(x, z));
            v.z = static_cast<float>(z) * zScale;
            v.s = static_cast<float>(x) / fsize;
            v.t = static_cast<float>(z) / fsize;
            v.detailS = splatDetailRepeat * v.s;
            v.detailT = splatDetailRepeat * v.t;
        }
    }
}

void Cgeomipmap::scanLevelHeights() {
    const int levels = maxLevel + 1;
    levelHeights.assign(static_cast<size_t>(patchesPerSide) * patchesPerSide * levels * 5, 0.0f);
    for (int pz = 0; pz < patchesPerSide; ++pz) {
        for (int px = 0; px < patchesPerSide; ++px) {
            const int x0 = px * patchSize, z0 = pz * patchSize;
            for (int level = 0; level < levels; ++level) {
                float* highest = &levelHeights[(static_cast<size_t>(patchIndex(px, pz)) * levels + level) * 5];
                const int step = 2 << level;
                const int h = step / 2;
                for (int z = h; z + h <= patchSize; z += step) {
                    for (int x = h; x + h <= patchSize; x += step) {
                        int points[10][2];
                        const int n = fanOutline(x, z, h, fanAllSides, points);
                        for (int i = 0; i < n; ++i) {
                            const int gx = points[i][0], gz = points[i][1];
                            // Which droppable side a mid-edge vertex lies on, if any.
                            int slot = 0;
                            if (gz % step != 0 || gx % step != 0) {
                                if (gx == 0) slot = 1;
                                else if (gz == patchSize) slot = 2;
                                else if (gx == patchSize) slot = 3;
                                else if (gz == 0) slot = 4;
                            }
                            highest[slot] = std::max(highest[slot], static_cast<float>(height(x0 + gx, z0 + gz)));
                        }
                    }
                }
            }
        }
    }
}

void Cgeomipmap::measureLevelErrors() {
    const int levels = maxLevel + 1;
    const int count = patchesPerSide * patchesPerSide;
    heightRanges.assign(static_cast<size_t>(count) * 2, 0.0f);
    levelErrors.assign(static_cast<size_t>(count) * levels, 0.0f);
    // The four fan sides: outward direction and the direction along the side.
    struct Side {
        int flag, ax, az, tx, tz;
    };
    const Side sidesOf[4] = {
        {fanWest, -1, 0, 0, 1}, {fanNorth, 0, 1, 1, 0}, {fanEast, 1, 0, 0, 1}, {fanSouth, 0, -1, 1, 0}};
    for (int pz = 0; pz < patchesPerSide; ++pz) {
        for (int px = 0; px < patchesPerSide; ++px) {
            const int index = patchIndex(px, pz);
            const int x0 = px * patchSize, z0 = pz * patchSize;
            auto grid = [&](int x, int z) { return height(x0 + x, z0 + z); };
            double lowest = grid(0, 0), highest = lowest;
            for (int z = 0; z <= patchSize; ++z)
                for (int x = 0; x <= patchSize; ++x) {
                    lowest = std::min(lowest, grid(x, z));
                    highest = std::max(highest, grid(x, z));
                }
            heightRanges[static_cast<size_t>(index) * 2] = static_cast<float>(lowest);
            heightRanges[static_cast<size_t>(index) * 2 + 1] = static_cast<float>(highest);

            for (int level = 0; level < levels; ++level) {
                const int step = 2 << level;
                const int h = step / 2;
                double worst = 0.0;
                for (int cz = h; cz + h <= patchSize; cz += step) {
                    for (int cx = h; cx + h <= patchSize; cx += step) {
                        const double centre = grid(cx, cz);
                        for (int dz = -h; dz <= h; ++dz) {
                            for (int dx = -h; dx <= h; ++dx) {
                                if (dx == 0 && dz == 0) continue;
                                // The fan side whose triangles hold the point:
                                // the one it lies farthest towards.
                                const Side* side = &sidesOf[0];
                                int reach = -dx;
                                for (const Side& other : sidesOf) {
                                    const int r = dx * other.ax + dz * other.az;
                                    if (r > reach) {
                                        reach = r;
                                        side = &other;
                                    }
                                }
                                const double u = static_cast<double>(reach) / h;
                                const double v = static_cast<double>(dx * side->tx + dz * side->tz) / h;
                                const int mx = cx + h * side->ax, mz = cz + h * side->az;
                                const double mid = grid(mx, mz);
                                const double plus = grid(mx + h * side->tx, mz + h * side->tz);
                                const double minus = grid(mx - h * side->tx, mz - h * side->tz);
                                const double actual = grid(cx + dx, cz + dz);
                                // With the mid-edge vertex: two triangles.
                                const double kept = centre + u * (mid - centre) + std::abs(v) * ((v >= 0 ? plus : minus) - mid);
                                worst = std::max(worst, std::abs(actual - kept));
                                // On the patch border the mid-edge vertex may be left out: one triangle.
                                const bool border = (side->flag == fanWest && cx - h == 0) ||
                                                    (side->flag == fanNorth && cz + h == patchSize) ||
                                                    (side->flag == fanEast && cx + h == patchSize) ||
                                                    (side->flag == fanSouth && cz - h == 0);
                                if (border) {
                                    const double dropped =
                                        centre + u * ((plus + minus) / 2.0 - centre) + v * (plus - minus) / 2.0;
                                    worst = std::max(worst, std::abs(actual - dropped));
                                }
                            }
                        }
                    }
                }
                float& error = levelErrors[static_cast<size_t>(index) * levels + level];
                error = static_cast<float>(worst);
                // A coarser level never claims to be closer to the grid than a finer one.
                if (level > 0) error = std::max(error, levelErrors[static_cast<size_t>(index) * levels + level - 1]);
            }
        }
    }
}

int Cgeomipmap::toleratedLevel(int index) const {
    if (frustumPixelsPerUnit <= 0.0f || levelErrors.empty()) return 0;
    // World height that spans the tolerance at the patch's nearest point.
    const float distance = std::max(patches[index].nearDistance, 1e-3f);
    const float allowed = terrainErrorTolerance * distance / frustumPixelsPerUnit;
    const float* errors = &levelErrors[static_cast<size_t>(index) * (maxLevel + 1)];
    for (int level = maxLevel; level > 0; --level)
        if (errors[level] <= allowed) return level;
    return 0;
}

int Cgeomipmap::clampedLevel(int index) const { return std::clamp(patches[index].level, 0, maxLevel); }

void Cgeomipmap::updatePatches() {
    if (!patches) return;
    float cameraX, cameraY, cameraZ;
    getCameraPositionXYZ(cameraX, cameraY, cameraZ);
    eye[0] = cameraX;
    eye[1] = cameraY;
    eye[2] = cameraZ;
    const float half = static_cast<float>(patchSize) / 2.0f;
    const bool byError = terrainErrorTolerance > 0.0f;
    for (int pz = 0; pz < patchesPerSide; ++pz) {
        for (int px = 0; px < patchesPerSide; ++px) {
            const int index = patchIndex(px, pz);
            GeomipPatch& patch = patches[index];
            const float centreX = (static_cast<float>(px * patchSize) + half) * xScale;
            const float centreZ = (static_cast<float>(pz * patchSize) + half) * zScale;
            const float centreY = patch.minY + (patch.maxY - patch.minY) / 2.0f;
            // The full side lengths and height range serve as half extents:
            // the box tested is twice the patch in every direction.
            patch.visible = boxInFrustum(centreX, centreY, centreZ, static_cast<float>(patchSize) * xScale,
                                         patch.maxY - patch.minY, static_cast<float>(patchSize) * zScale)
                                ? 1
                                : 0;
            if (!patch.visible) continue;  // keeps its distances and level
            const float dx = centreX - cameraX;
            const float dy = centreY - cameraY;
            const float dz = centreZ - cameraZ;
            patch.distance = std::sqrt(dx * dx + dy * dy + dz * dz);

            // Nearest and farthest points of the patch's box.
            const float low[3] = {static_cast<float>(px * patchSize) * xScale,
                                  heightRanges.empty() ? patch.minY : heightRanges[static_cast<size_t>(index) * 2],
                                  static_cast<float>(pz * patchSize) * zScale};
            const float high[3] = {static_cast<float>((px + 1) * patchSize) * xScale,
                                   heightRanges.empty() ? patch.maxY : heightRanges[static_cast<size_t>(index) * 2 + 1],
                                   static_cast<float>((pz + 1) * patchSize) * zScale};
            float nearSquared = 0.0f, farSquared = 0.0f;
            for (int axis = 0; axis < 3; ++axis) {
                const float inside = std::clamp(eye[axis], low[axis], high[axis]) - eye[axis];
                const float outside = std::max(std::abs(eye[axis] - low[axis]), std::abs(eye[axis] - high[axis]));
                nearSquared += inside * inside;
                farSquared += outside * outside;
            }
            patch.nearDistance = std::sqrt(nearSquared);
            patch.farDistance = std::sqrt(farSquared);

            int level;
            if (byError)
                level = toleratedLevel(index);
            else if (patch.distance < lodDistance1)
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
    morphActive = false;
    if (geomorphing) morphPatches();
}

float Cgeomipmap::patchMorph(int px, int pz) const {
    if (!morphActive || px < 0 || pz < 0 || px >= patchesPerSide || pz >= patchesPerSide) return 0.0f;
    return morphs[static_cast<size_t>(patchIndex(px, pz))];
}

float Cgeomipmap::drawnHeight(int x, int z) const {
    if (!inside(x, z) || vertices.empty()) return 0.0f;
    return drawnVertices()[static_cast<size_t>(z) * size + x].y;
}

// Linear over the whole range in which the patch keeps its level (the
// slowest morph that ends at the switch: fewest pixels moved per frame), 1
// at the switch to the next coarser level (and beyond it, where
// the neighbours hold the patch finer than its own choice).
float Cgeomipmap::morphFactor(int index) const {
    const int level = clampedLevel(index);
    if (level >= maxLevel) return 0.0f;
    const GeomipPatch& patch = patches[index];
    float lower, upper, distance;
    if (terrainErrorTolerance > 0.0f) {
        if (frustumPixelsPerUnit <= 0.0f || levelErrors.empty()) return 0.0f;
        // Level L holds from the distance where its error meets the tolerance
        // to the one where level L + 1's does (toleratedLevel's rule).
        const float scale = frustumPixelsPerUnit / terrainErrorTolerance;
        const float* errors = &levelErrors[static_cast<size_t>(index) * (maxLevel + 1)];
        lower = level > 0 ? errors[level] * scale : 0.0f;
        upper = errors[level + 1] * scale;
        distance = std::max(patch.nearDistance, 1e-3f);
    } else {
        const float bands[3] = {lodDistance1, lodDistance2, lodDistance3};
        lower = level > 0 ? bands[level - 1] : 0.0f;
        upper = bands[std::min(level, 2)];
        distance = patch.distance;
    }
    const float start = lower;
    if (distance >= upper) return 1.0f;
    if (upper <= start || distance <= start) return 0.0f;
    return std::clamp((distance - start) / (upper - start), 0.0f, 1.0f);
}

// The morphed height of border point t (0..patchSize) of patch `index` on the
// side towards `neighbour` (-1: the terrain's edge), the side running from
// grid point (x, z) along (alongX, alongZ).
float Cgeomipmap::edgeMorphHeight(int index, int neighbour, int x, int z, int alongX, int alongZ, int t) const {
    int level = clampedLevel(index);
    float morph = morphs[static_cast<size_t>(index)];
    if (neighbour >= 0) {
        const int other = clampedLevel(neighbour);
        const float otherMorph = morphs[static_cast<size_t>(neighbour)];
        if (other == level) morph = std::max(morph, otherMorph);
        else if (other > level) {
            level = other;
            morph = otherMorph;
        }
    }
    const float grid = vertices[static_cast<size_t>(z + t * alongZ) * size + x + t * alongX].y;
    const int step = 1 << level;  // spacing of the edge's vertices
    if (level >= maxLevel || morph <= 0.0f || t % (2 * step) == 0 || t % step != 0) return grid;
    const float a = vertices[static_cast<size_t>(z + (t - step) * alongZ) * size + x + (t - step) * alongX].y;
    const float b = vertices[static_cast<size_t>(z + (t + step) * alongZ) * size + x + (t + step) * alongX].y;
    const float target = (a + b) * 0.5f;
    return morph >= 1.0f ? target : grid + (target - grid) * morph;
}

void Cgeomipmap::morphPatches() {
    const int count = patchesPerSide * patchesPerSide;
    if (morphs.size() != static_cast<size_t>(count)) morphs.assign(static_cast<size_t>(count), 0.0f);
    if (morphedVertices.size() != vertices.size()) morphedVertices = vertices;
    for (int index = 0; index < count; ++index)
        if (patches[index].visible) morphs[static_cast<size_t>(index)] = morphFactor(index);
    morphActive = true;
    for (int index = 0; index < count; ++index) {
        if (!patches[index].visible) continue;
        const int px = index % patchesPerSide, pz = index / patchesPerSide;
        const int x0 = px * patchSize, z0 = pz * patchSize;
        const int level = clampedLevel(index);
        const float morph = morphs[static_cast<size_t>(index)];
        const int h = 1 << level, H = 2 * h;  // level L's spacing, level L + 1's
        // Interior points: level-L-only vertices go toward the midpoint of
        // the level L + 1 edge they lie on.
        for (int dz = 1; dz < patchSize; ++dz) {
            for (int dx = 1; dx < patchSize; ++dx) {
                const size_t at = static_cast<size_t>(z0 + dz) * size + x0 + dx;
                const float grid = vertices[at].y;
                float y = grid;
                if (level < maxLevel && morph > 0.0f && dx % h == 0 && dz % h == 0 && (dx % H != 0 || dz % H != 0)) {
                    // The level L + 1 fan holding the point: centre (cx, cz), half size H.
                    const int cx = std::min(H * (2 * (dx / (2 * H)) + 1), patchSize - H);
                    const int cz = std::min(H * (2 * (dz / (2 * H)) + 1), patchSize - H);
                    const int ox = dx - cx, oz = dz - cz;
                    int ax, az, bx, bz;
                    if (std::abs(ox) == H) {  // on the fan's side, between a corner and the mid-edge
                        ax = bx = dx;
                        az = cz;
                        bz = cz + 2 * oz;
                    } else if (std::abs(oz) == H) {
                        az = bz = dz;
                        ax = cx;
                        bx = cx + 2 * ox;
                    } else {  // between the centre and a ring vertex
                        ax = cx;
                        az = cz;
                        bx = cx + 2 * ox;
                        bz = cz + 2 * oz;
                    }
                    const float target = (vertices[static_cast<size_t>(z0 + az) * size + x0 + ax].y +
                                          vertices[static_cast<size_t>(z0 + bz) * size + x0 + bx].y) *
                                         0.5f;
                    y = morph >= 1.0f ? target : grid + (target - grid) * morph;
                }
                morphedVertices[at].y = y;
            }
        }
        // Border points follow the edge both neighbours draw; corners stay.
        const int west = px > 0 ? patchIndex(px - 1, pz) : -1;
        const int east = px < patchesPerSide - 1 ? patchIndex(px + 1, pz) : -1;
        const int south = pz > 0 ? patchIndex(px, pz - 1) : -1;
        const int north = pz < patchesPerSide - 1 ? patchIndex(px, pz + 1) : -1;
        for (int t = 1; t < patchSize; ++t) {
            morphedVertices[static_cast<size_t>(z0 + t) * size + x0].y = edgeMorphHeight(index, west, x0, z0, 0, 1, t);
            morphedVertices[static_cast<size_t>(z0 + t) * size + x0 + patchSize].y =
                edgeMorphHeight(index, east, x0 + patchSize, z0, 0, 1, t);
            morphedVertices[static_cast<size_t>(z0) * size + x0 + t].y = edgeMorphHeight(index, south, x0, z0, 1, 0, t);
            morphedVertices[static_cast<size_t>(z0 + patchSize) * size + x0 + t].y =
                edgeMorphHeight(index, north, x0, z0 + patchSize, 1, 0, t);
        }
        for (int corner = 0; corner < 4; ++corner) {
            const size_t at = static_cast<size_t>(z0 + (corner / 2) * patchSize) * size + x0 + (corner % 2) * patchSize;
            morphedVertices[at].y = vertices[at].y;
        }
    }
}

// Dropping one mid-edge vertex closes the border against a neighbour one
// level coarser, not two: where steep terrain puts neighbouring patch
// centres more than 40 units apart in distance, or their errors call for
// levels far apart, the coarser patch is refined until visible neighbours
// differ by at most one level (never coarser than its own choice). Levels only
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

int Cgeomipmap::patchSides(int px, int pz) const {
    // A side keeps its mid-edge vertices unless a coarser neighbour lies
    // there; the terrain's outer border has no neighbour and always keeps them.
    const int level = clampedLevel(patchIndex(px, pz));
    int sides = fanAllSides;
    if (px != 0 && clampedLevel(patchIndex(px - 1, pz)) > level) sides &= ~fanWest;
    if (pz != patchesPerSide - 1 && clampedLevel(patchIndex(px, pz + 1)) > level) sides &= ~fanNorth;
    if (px != patchesPerSide - 1 && clampedLevel(patchIndex(px + 1, pz)) > level) sides &= ~fanEast;
    if (pz != 0 && clampedLevel(patchIndex(px, pz - 1)) > level) sides &= ~fanSouth;
    return sides;
}

void Cgeomipmap::drawPatches() {
    patchesDrawn = 0;
    vertexCount = 0;
    triangleCount = 0;
    if (!patches) return;
    // The visible patches in row order: rows outer, columns inner.
    visiblePatches.clear();
    for (int index = 0; index < patchesPerSide * patchesPerSide; ++index)
        if (patches[index].visible) visiblePatches.push_back(index);
    patchesDrawn = static_cast<int>(visiblePatches.size());
    drawPatchList(visiblePatches.data(), patchesDrawn);
}

void Cgeomipmap::drawPatch(int px, int pz) {
    if (!patches || px < 0 || pz < 0 || px >= patchesPerSide || pz >= patchesPerSide) return;
    const int index = patchIndex(px, pz);
    drawPatchList(&index, 1);
}

void Cgeomipmap::appendPatch(std::vector<unsigned>& indices, int index) {
    const int px = index % patchesPerSide, pz = index / patchesPerSide;
    const unsigned first = static_cast<unsigned>(pz * patchSize * size + px * patchSize);
    for (int offset : fanTemplate(clampedLevel(index), patchSides(px, pz)))
        indices.push_back(first + static_cast<unsigned>(offset));
}

void Cgeomipmap::appendFadePatch(int index) {
    const int px = index % patchesPerSide, pz = index / patchesPerSide;
    const int lattice = patchSize + 1;
    const unsigned first = static_cast<unsigned>(fadeVertices.size() / fadeStride);
    for (int dz = 0; dz <= patchSize; ++dz) {
        for (int dx = 0; dx <= patchSize; ++dx) {
            const GeomipVertex& v = drawnVertices()[static_cast<size_t>(pz * patchSize + dz) * size + px * patchSize + dx];
            // The base texture's share at this vertex, by its own distance.
            const float ex = v.x - eye[0], ey = v.y - eye[1], ez = v.z - eye[2];
            const float distance = std::sqrt(ex * ex + ey * ey + ez * ez);
            const float alpha = std::clamp((distance - multiTextureDistance) / baseFadeRange, 0.0f, 1.0f);
            const float values[fadeStride] = {v.x, v.y, v.z, v.s, v.t, 1.0f, 1.0f, 1.0f, alpha};
            fadeVertices.insert(fadeVertices.end(), values, values + fadeStride);
        }
    }
    for (int offset : fanTemplate(clampedLevel(index), patchSides(px, pz)))
        fadeIndices.push_back(first + static_cast<unsigned>((offset / size) * lattice + offset % size));
}

void Cgeomipmap::drawPatchList(const int* list, int count) {
    if (!patches || count == 0 || vertices.empty()) return;
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    // The passes modulate by the current colour: start from opaque white
    // whatever the sky, plants or brute force left behind.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    // Group the patches by their passes, and count what each group draws in one pass.
    splatPatches.clear();
    fadePatches.clear();
    basePatches.clear();
    Batch splat{this, &splatIndices, nullptr, false, 0, 0};
    Batch fade{this, &fadeIndices, nullptr, true, 0, 0};
    Batch base{this, &baseIndices, nullptr, false, 0, 0};
    const int levels = maxLevel + 1;
    for (int k = 0; k < count; ++k) {
        const int index = list[k];
        const int px = index % patchesPerSide, pz = index / patchesPerSide;
        const int level = clampedLevel(index);
        const int sides = patchSides(px, pz);
        const size_t variant = static_cast<size_t>(level) * sideVariants + sides;
        const int triangles = static_cast<int>(templates[variant].size() / 3);
        const int fanVertices = triangles + 2 * fanCounts[variant];

        // The extent of the vertices this patch draws.
        const float* highest = &levelHeights[(static_cast<size_t>(index) * levels + level) * 5];
        float top = highest[0];
        if (sides & fanWest) top = std::max(top, highest[1]);
        if (sides & fanNorth) top = std::max(top, highest[2]);
        if (sides & fanEast) top = std::max(top, highest[3]);
        if (sides & fanSouth) top = std::max(top, highest[4]);
        geomipExtent[0] = std::max(geomipExtent[0], static_cast<float>((px + 1) * patchSize) * xScale);
        geomipExtent[1] = std::max(geomipExtent[1], top);
        geomipExtent[2] = std::max(geomipExtent[2], static_cast<float>((pz + 1) * patchSize) * zScale);

        // Splatted unless every vertex lies beyond the fade band; the fade
        // pass wherever a vertex lies beyond its start.
        Batch* group = &base;
        if (splattingEnabled) {
            const GeomipPatch& patch = patches[index];
            const float fadeEnd = multiTextureDistance + baseFadeRange;
            if (uniformTexturing || patch.nearDistance < fadeEnd) group = &splat;
            if (!uniformTexturing && patch.nearDistance < fadeEnd && patch.farDistance > multiTextureDistance) {
                fadePatches.push_back(index);
                fade.triangles += triangles;
                fade.vertices += fanVertices;
            }
        }
        (group == &splat ? splatPatches : basePatches).push_back(index);
        group->triangles += triangles;
        group->vertices += fanVertices;
    }

    splatIndices.clear();
    baseIndices.clear();
    fadeIndices.clear();
    fadeVertices.clear();
    for (int index : splatPatches) appendPatch(splatIndices, index);
    for (int index : basePatches) appendPatch(baseIndices, index);
    for (int index : fadePatches) appendFadePatch(index);

    // Every patch in the lightmap pass: the splatted ones, then the rest.
    Batch all{this, &splatIndices, &baseIndices, false, splat.triangles + base.triangles,
              splat.vertices + base.vertices};
    if (!splattingEnabled) {
        drawBaseTexturePass(drawBatchPass, &base);
        // Unsplatted geomipmapping draws no lightmap pass unless it is to
        // look like brute force, which darkens by the lightmap either way.
        if (uniformTexturing && lightmapEnabled) drawLightmapPass(drawBatchPass, &base, 0, true);
        return;
    }
    if (!splatPatches.empty()) drawSplattingPasses(drawBatchPass, &splat, true);
    if (!fadePatches.empty()) drawBaseFadePass(drawBatchPass, &fade, 1.0f);
    if (!basePatches.empty()) drawBaseTexturePass(drawBatchPass, &base);
    // Brute force's lightmap pass keeps two coordinate sets over splatting.
    if (lightmapEnabled) drawLightmapPass(drawBatchPass, &all, uniformTexturing ? 1 : 0, uniformTexturing != 0);
}

bool Cgeomipmap::prepareVertexBuffer() {
    if (vertexBuffer) return true;
    if (vertexBufferTried || vertices.empty()) return false;
    vertexBufferTried = true;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenBuffers(1, &name);
    if (!name) return false;
    glBindBuffer(GL_ARRAY_BUFFER, name);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(GeomipVertex)), vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (glGetError() != GL_NO_ERROR) {
        // No room for the buffer: the vertices are sent from client memory.
        glDeleteBuffers(1, &name);
        return false;
    }
    vertexBuffer = name;
    return true;
}

void Cgeomipmap::drawBatchPass(void* context, int multiTex, float repeat) {
    const Batch& batch = *static_cast<const Batch*>(context);
    Cgeomipmap& terrain = *batch.terrain;
    terrain.multiTexCoords = multiTex;
    terrain.detailRepeat = static_cast<int>(repeat);
    terrain.triangleCount += batch.triangles;
    terrain.vertexCount += batch.vertices;
    // Two coordinate sets need the multitexture entry points; without them
    // the unscaled set alone is sent.
    const bool twoSets = multiTex != 0 && glClientActiveTextureARB_ != nullptr && glActiveTextureARB_ != nullptr;

    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    if (glClientActiveTextureARB_) glClientActiveTextureARB_(GL_TEXTURE0_ARB);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    if (batch.fade) {
        // The fade vertices carry their own colour: white with the fade alpha.
        const float* first = terrain.fadeVertices.data();
        const GLsizei stride = fadeStride * sizeof(float);
        glVertexPointer(3, GL_FLOAT, stride, first);
        glTexCoordPointer(2, GL_FLOAT, stride, first + 3);
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, stride, first + 5);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.indices->size()), GL_UNSIGNED_INT,
                       batch.indices->data());
        glPopClientAttrib();
        return;
    }

    // Morphed heights change every frame: they are sent from client memory.
    const bool buffer = !terrain.morphActive && terrain.prepareVertexBuffer();
    if (buffer) glBindBuffer(GL_ARRAY_BUFFER, terrain.vertexBuffer);
    const char* first = buffer ? nullptr : reinterpret_cast<const char*>(terrain.drawnVertices().data());
    const GLsizei stride = sizeof(GeomipVertex);
    glVertexPointer(3, GL_FLOAT, stride, first + offsetof(GeomipVertex, x));
    // Unit 0 takes the detail coordinates in the splatting passes; any other
    // repeat scales the plain coordinates by the texture matrix.
    const bool detail = twoSets && repeat == splatDetailRepeat;
    const bool scaled = twoSets && !detail && repeat != 1.0f;
    glTexCoordPointer(2, GL_FLOAT, stride, first + (detail ? offsetof(GeomipVertex, detailS) : offsetof(GeomipVertex, s)));
    if (twoSets) {
        glClientActiveTextureARB_(GL_TEXTURE1_ARB);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, stride, first + offsetof(GeomipVertex, s));
        glClientActiveTextureARB_(GL_TEXTURE0_ARB);
    }
    if (scaled) {
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        glScalef(repeat, repeat, 1.0f);
    }
    for (const std::vector<unsigned>* indices : {batch.indices, batch.second}) {
        if (indices && !indices->empty())
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices->size()), GL_UNSIGNED_INT, indices->data());
    }
    if (scaled) {
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
    if (buffer) glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPopClientAttrib();
}

void Cgeomipmap::renderGeomipmap() {
    reportTerrainTitle("GEOMIP %f %f %f", geomipExtent[0], geomipExtent[1], geomipExtent[2]);
    updatePatches();
    drawGeomipmapFrame();
}

void Cgeomipmap::drawGeomipmapFrame() {
    // The colour is saved by hand: Mesa does not reliably restore it from the
    // attribute stack when other groups are pushed and popped in between.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
    glFrontFace(GL_CCW);
    glDisable(GL_CULL_FACE);
    glPushMatrix();
    drawPatches();
    glPopMatrix();
    glPopAttrib();
    glColor4fv(colour);
}
