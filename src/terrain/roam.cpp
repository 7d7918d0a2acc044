// roam.cpp -- ROAM 2.0 diamond mesh: set-up, the diamond pool, kids, split
// and merge, the dense triangle list and drawing.
//
// Provides the Croam operations declared in roam.h except culling,
// priorities, queues and optimise() (roamOptimise.cpp) and the invariant
// checker (roamCheck.cpp). The mesh rules every operation here keeps are
// listed in roam.h; the ones that matter most in this file:
// - a record is in the free list exactly when its lockCount is 0, and each
//   kid link holds a lock on the parent, so a recycled record is always a
//   leaf;
// - a diamond is split only after both its parents are split;
// - triangle slots 1 .. nextTriangle - 1 are all used; removing a triangle
//   moves the last one into the hole.
// Also the scene's sizes for each map (roamLevelsFor, roamPoolSizeFor,
// roamTriangleSlotsFor). Main thread only.
#include "terrain/roam.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"
#include "util/output.h"

namespace {
constexpr uint16_t unqueuedPriority = 0xFFF6;  // no bucket: the first setQueue always acts

void drawRoamPassFor(void* context, int multiTex, float repeat) {
    static_cast<Croam*>(context)->drawRoamPass(multiTex, repeat);
}
}  // namespace

int roamLevelsFor(int size) {
    int levels = 13;  // the 129 map
    for (int n = 256; n <= size - 1; n *= 2) levels += 2;
    return levels;
}

// Measured on fractal maps with the camera flown low at the smallest
// tolerances: the whole 257 mesh keeps about 135,000 records locked (cached
// kids included), and 200,000 drawn triangles on the 1025 map about 400,000,
// with up to 112,000 more wanted sides outside the view. Three records per
// grid sample (at most 500,000) and slots for the whole grid's triangles (at
// most 400,000) leave room to spare, so maxTriangles binds first.
int roamPoolSizeFor(int size) {
    long long records = 3LL * size * size;
    return static_cast<int>(std::clamp(records, 65536LL, 500000LL));
}

int roamTriangleSlotsFor(int size) {
    long long slots = 2LL * (size - 1) * (size - 1) + 256;
    return static_cast<int>(std::clamp(slots, 65536LL, 400000LL));
}

Croam::~Croam() { releaseRoam(); }

void Croam::releaseRoam() {
    delete[] pool;
    delete[] triangleOwner;
    delete[] triangleVertices;
    delete[] levelError;
    delete[] errorTable;
    errorTable = nullptr;
    gridLevels = 0;
    pool = nullptr;
    triangleOwner = nullptr;
    triangleVertices = nullptr;
    levelError = nullptr;
    poolSize = 0;
    freeHead = freeTail = nullptr;
    freeDiamonds = 0;
    std::fill(&base[0][0], &base[0][0] + 16, nullptr);
    std::fill(&outer[0][0], &outer[0][0] + 16, nullptr);
    std::fill(splitBuckets, splitBuckets + roamBucketCount, nullptr);
    std::fill(mergeBuckets, mergeBuckets + roamBucketCount, nullptr);
    splitMax = -1;
    mergeMin = roamBucketCount;
    triangleCapacity = 0;
    freeTriangles = 0;
    hiddenTriangles = 0;
    nextTriangle = 1;
    triangleCount = 0;
    vertexCount = 0;
    drawBuffer = 0;
    drawBufferBytes = 0;
    drawFromBuffer = false;
    drawList.clear();
    drawKeys.clear();
}

bool Croam::setupRoam(int newLevels, int newPoolSize, int triangleSlots) {
    releaseRoam();
    if (!data || size < 3) {
        outputText("Croam: no height grid loaded; the ROAM terrain draws nothing\n");
        return false;
    }
    if (((size - 1) & (size - 2)) != 0) {
        outputPrintf("Croam: a %d x %d grid is not 2^n + 1 samples on a side; the ROAM terrain draws nothing\n",
                     size, size);
        return false;
    }
    if (newLevels < 0 || newLevels > 100) {
        outputPrintf("Croam: %d levels is outside 0-100; the ROAM terrain draws nothing\n", newLevels);
        return false;
    }
    if (newPoolSize < 32) {
        outputPrintf("Croam: a pool of %d diamonds cannot hold the 32 base diamonds; the ROAM terrain draws nothing\n",
                     newPoolSize);
        return false;
    }
    if (triangleSlots < 3) {
        outputPrintf("Croam: %d triangle slots cannot hold the root's two triangles; the ROAM terrain draws nothing\n",
                     triangleSlots);
        return false;
    }

    // 1. Constants and the error of each level.
    splitThreshold = 1990;
    frame = 0;
    levels = newLevels;
    refreshCursor = 0;
    splitCount = mergeCount = 0;

    // 2. Pool and triangle arrays.
    levelError = new (std::nothrow) float[levels + 1];
    pool = new (std::nothrow) Diamond[newPoolSize];
    triangleCapacity = triangleSlots;
    triangleOwner = new (std::nothrow) int[triangleCapacity];
    triangleVertices = new (std::nothrow) RoamVertex[static_cast<size_t>(triangleCapacity) * 3];
    if (!levelError || !pool || !triangleOwner || !triangleVertices || !buildErrorTable()) {
        outputText("Croam: out of memory for the ROAM mesh; the ROAM terrain draws nothing\n");
        releaseRoam();
        return false;
    }
    poolSize = newPoolSize;
    for (int l = 0; l <= levels; ++l) levelError[l] = static_cast<float>(255.0 / std::sqrt(std::ldexp(1.0, l)));

    std::memset(pool, 0, sizeof(Diamond) * static_cast<size_t>(poolSize));
    for (int n = 0; n < poolSize; ++n) {
        Diamond* d = &pool[n];
        d->radiusSq = -1.0f;
        d->error = 10.0f;
        d->priority = 2048;
        d->level = -100;
        d->frameStamp = 255;
        d->prev = n > 0 ? &pool[n - 1] : nullptr;
        d->next = n + 1 < poolSize ? &pool[n + 1] : nullptr;
    }
    freeHead = &pool[0];
    freeTail = &pool[poolSize - 1];
    freeDiamonds = poolSize;

    // 3. Queues and the empty triangle list.
    std::fill(splitBuckets, splitBuckets + roamBucketCount, nullptr);
    std::fill(mergeBuckets, mergeBuckets + roamBucketCount, nullptr);
    splitMax = -1;
    mergeMin = roamBucketCount;
    std::fill(triangleOwner, triangleOwner + triangleCapacity, -1);
    nextTriangle = 1;
    triangleCount = 0;
    vertexCount = 0;
    hiddenTriangles = 0;
    freeTriangles = triangleCapacity - 1;
    maxTriangles = 200000;

    // 4. Logarithm correction: log2(1 + m) - m for the top 8 mantissa bits,
    // in units of 2^23 (2048 << 12), the units of the float's bit pattern.
    for (int i = 0; i < 256; ++i) {
        double m = i / 256.0;
        logTable[i] = static_cast<int>(std::floor((std::log2(1.0 + m) - m) * 2048.0 + 0.5)) << 12;
    }

    // 5. Base mesh: 16 base diamonds (centres 2i - 2, 2j - 2) and 16 outer
    // ones (2i - 3, 2j - 3) on a coordinate frame where the map spans -1..1.
    // A coordinate c maps to the grid as (c + 1) / 2 * (size - 1), clamped
    // to the map, so every vertex of the mesh lands on a grid sample.
    float horizontalScale = std::max(xScale, zScale);
    auto gridCoordinate = [this](int c) {
        float g = (c + 1) * 0.5f * static_cast<float>(size - 1);
        return std::clamp(g, 0.0f, static_cast<float>(size - 1));
    };
    auto makeBaseRecord = [&](int ci, int cj, int level) {
        Diamond* d = allocDiamond();
        d->x = gridCoordinate(ci);
        d->z = gridCoordinate(cj);
        d->y = sample(static_cast<int>(d->x), static_cast<int>(d->z));
        d->radiusSq = static_cast<float>(size) * size * horizontalScale * horizontalScale;
        d->error = static_cast<float>(size);
        d->heightError = tableError(d->x, d->z);
        d->priority = 4095;
        d->triangle[0] = d->triangle[1] = 0;
        d->cull = d->flags = d->splitState = 0;
        d->level = static_cast<int8_t>(level);
        return d;
    };
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            base[j][i] = makeBaseRecord(2 * i - 2, 2 * j - 2, 0);
            if (!(i == 1 && j == 1)) base[j][i]->flags = diamondFixed;
        }
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            outer[j][i] = makeBaseRecord(2 * i - 3, 2 * j - 3, ((i + j) & 1) ? -1 : -2);
            outer[j][i]->flags = diamondSplit;
        }

    // 6. Links of the base diamonds (indices modulo 4).
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            Diamond* d = base[j][i];
            int s = ((i + j) & 1) ? 1 : -1;
            d->parent[0] = outer[j][((2 * i + 1 - s) >> 1) & 3];
            d->parent[1] = outer[(j + 1) & 3][((2 * i + 1 + s) >> 1) & 3];
            d->ancestor[0] = outer[((2 * j + 1 + s) >> 1) & 3][i];
            d->ancestor[1] = outer[((2 * j + 1 - s) >> 1) & 3][(i + 1) & 3];
            int slot0 = s < 0 ? 0 : 3;
            int slot1 = s < 0 ? 2 : 1;
            assert(!d->parent[0]->kid[slot0] && !d->parent[1]->kid[slot1] && "base mesh: kid slot wired twice");
            d->parent[0]->kid[slot0] = d;
            d->kidIndex[0] = static_cast<uint8_t>(slot0);
            d->parent[1]->kid[slot1] = d;
            d->kidIndex[1] = static_cast<uint8_t>(slot1);
        }

    // 7. Links of the outer diamonds.
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            Diamond* d = outer[j][i];
            d->ancestor[0] = outer[(j + 1) & 3][i];
            d->ancestor[1] = outer[(j + 3) & 3][i];
            d->parent[0] = outer[j][(i + 3) & 3];
            d->parent[1] = outer[j][(i + 1) & 3];
        }

    // 8. The root waits in the split queue and is drawn as two triangles.
    setQueue(root(), roamQueueSplit, 4095);
    wantTriangle(root(), 0);
    wantTriangle(root(), 1);
    return true;
}

Diamond* Croam::allocDiamond() {
    Diamond* d = freeHead;
    if (!d) {
        outputError("Croam: out of diamond records\n");
        std::exit(1);
    }
    if (d->radiusSq < 0.0f) {
        d->radiusSq = 0.0f;
    } else {
        // A recycled record is a leaf (it holds no locks of kids); unhook it
        // from the parents that still list it as a kid.
        for (int j = 0; j < 2; ++j) {
            Diamond* p = d->parent[j];
            if (!p) continue;
            p->kid[d->kidIndex[j]] = nullptr;
            d->parent[j] = nullptr;
            unlockDiamond(p);
        }
        d->priority = 2048;
    }
    d->frameStamp = static_cast<uint8_t>(frame - 1);  // priority due in this frame
    lockDiamond(d);
    return d;
}

void Croam::lockDiamond(Diamond* d) {
    if (d->lockCount == 0) {
        if (d->prev) d->prev->next = d->next;
        else freeHead = d->next;
        if (d->next) d->next->prev = d->prev;
        else freeTail = d->prev;
        d->prev = d->next = nullptr;
        --freeDiamonds;
    }
    assert(d->lockCount < 255 &&
           "lockDiamond: 8-bit lock count overflow; a record holds at most 6 locks at rest, so some lock is never "
           "released (pair every getKid/allocDiamond/lockDiamond with unlockDiamond)");
    ++d->lockCount;
}

void Croam::unlockDiamond(Diamond* d) {
    assert(d->lockCount > 0 &&
           "unlockDiamond on a record with no locks: an unlock without its lockDiamond/getKid/allocDiamond");
    if (d->lockCount == 0) return;
    if (--d->lockCount == 0) {
        d->next = nullptr;
        d->prev = freeTail;
        if (freeTail) freeTail->next = d;
        else freeHead = d;
        freeTail = d;
        ++freeDiamonds;
    }
}

Diamond* Croam::getKid(Diamond* d, int i) {
    if (Diamond* existing = d->kid[i]) {
        lockDiamond(existing);
        return existing;
    }
    // The new kid's lock on d.
    lockDiamond(d);
    // Its other parent is a kid of d's parent on the same side; getKid
    // returns it locked, which becomes the new kid's lock on it.
    Diamond* q;
    int c;
    if (i < 2) {
        q = d->parent[0];
        c = (d->kidIndex[0] - 1 + (i == 0 ? 2 : 0)) & 3;
    } else {
        q = d->parent[1];
        c = (d->kidIndex[1] - 1 + (i == 2 ? 2 : 0)) & 3;
    }
    Diamond* o = getKid(q, c);

    Diamond* k = allocDiamond();
    d->kid[i] = k;
    int otherSlot = ((i & 1) ^ 1) + (o->parent[1] == q ? 2 : 0);
    assert(!o->kid[otherSlot] && "getKid: the neighbour already holds a different kid in this slot");
    o->kid[otherSlot] = k;
    if ((i & 1) == 0) {
        k->parent[0] = d;
        k->kidIndex[0] = static_cast<uint8_t>(i);
        k->parent[1] = o;
        k->kidIndex[1] = static_cast<uint8_t>(otherSlot);
    } else {
        k->parent[0] = o;
        k->kidIndex[0] = static_cast<uint8_t>(otherSlot);
        k->parent[1] = d;
        k->kidIndex[1] = static_cast<uint8_t>(i);
    }
    k->ancestor[0] = d->parent[i >> 1];
    k->ancestor[1] = (i == 0 || i == 3) ? d->ancestor[0] : d->ancestor[1];
    for (Diamond*& grandKid : k->kid) grandKid = nullptr;
    k->cull = 0;
    k->splitState = 0;
    bool fixed = (k->ancestor[0]->flags & diamondFixed) || ((d->flags & diamondFixed) && (o->flags & diamondFixed));
    k->flags = fixed ? diamondFixed : 0;
    k->triangle[0] = k->triangle[1] = 0;
    k->priority = unqueuedPriority;
    k->level = static_cast<int8_t>(d->level + 1);

    // Centre: midpoint of the base edge; its height is the sample at the
    // truncated grid position.
    k->x = std::fabs((k->ancestor[0]->x + k->ancestor[1]->x) * 0.5f);
    k->z = std::fabs((k->ancestor[0]->z + k->ancestor[1]->z) * 0.5f);
    int gx = std::clamp(static_cast<int>(k->x), 0, size - 1);
    int gz = std::clamp(static_cast<int>(k->z), 0, size - 1);
    k->y = sample(gx, gz);

    // World-space sphere through the four corners.
    const Diamond* corners[4] = {k->parent[0], k->parent[1], k->ancestor[0], k->ancestor[1]};
    float radiusSq = 0.0f;
    for (const Diamond* corner : corners) {
        float dx = (corner->x - k->x) * xScale;
        float dy = (corner->y - k->y) * yScale;
        float dz = (corner->z - k->z) * zScale;
        radiusSq = std::max(radiusSq, dx * dx + dy * dy + dz * dz);
    }
    k->radiusSq = radiusSq;
    float levelErr = levelError[std::min<int>(k->level, levels)];
    k->error = levelErr * levelErr;
    k->heightError = fixed ? 0.0f : tableError(k->x, k->z);
    return k;
}

void Croam::split(Diamond* d) {
    if (d->flags & diamondSplit) return;
    if (d->level >= 126) return;  // kids would overflow the 8-bit level
    // 1. Both parents must be split first; the first split kid takes a
    // parent out of the merge queue.
    for (int j = 0; j < 2; ++j) {
        Diamond* p = d->parent[j];
        split(p);
        if (!(p->splitState & 15)) setQueue(p, roamQueueNone, p->priority);
        p->splitState |= static_cast<uint8_t>(1 << d->kidIndex[j]);
    }
    // 2. The kids join the split queue and draw their side towards d.
    for (int i = 0; i < 4; ++i) {
        Diamond* k = getKid(d, i);
        updateCull(k);
        updatePriority(k);
        setQueue(k, roamQueueSplit, k->priority);
        int s = k->parent[1] == d ? 1 : 0;
        k->splitState |= static_cast<uint8_t>(16 << s);
        unlockDiamond(k);
        wantTriangle(k, s);
    }
    // 3. d itself becomes a merge candidate and stops being drawn.
    d->flags |= diamondSplit;
    setQueue(d, roamQueueMerge, d->priority);
    dropTriangle(d, 0);
    dropTriangle(d, 1);
    ++splitCount;
}

void Croam::merge(Diamond* d) {
    if (!(d->flags & diamondSplit)) return;
    // Merging under a split kid would leave that kid split with an unsplit
    // parent (a crack); only merge-queue members qualify.
    if (d->splitState & 15) return;
    // 1. The kids stop drawing their side towards d.
    for (int i = 0; i < 4; ++i) {
        Diamond* k = d->kid[i];
        int s = k->parent[1] == d ? 1 : 0;
        k->splitState &= static_cast<uint8_t>(~(16 << s));
        if (!(k->splitState & 48)) setQueue(k, roamQueueNone, k->priority);
        dropTriangle(k, s);
    }
    // 2. d may split again.
    d->flags &= static_cast<uint8_t>(~diamondSplit);
    setQueue(d, roamQueueSplit, d->priority);
    // 3. A parent left without split kids becomes a merge candidate. The
    // outer diamonds frame the mesh and stay split for good, so they never
    // enter a queue.
    for (int j = 0; j < 2; ++j) {
        Diamond* p = d->parent[j];
        p->splitState &= static_cast<uint8_t>(~(1 << d->kidIndex[j]));
        if (!(p->splitState & 15) && p->level >= 0) {
            updatePriority(p);
            setQueue(p, roamQueueMerge, p->priority);
        }
    }
    // 4. d draws its own two triangles again.
    wantTriangle(d, 0);
    wantTriangle(d, 1);
    ++mergeCount;
}

void Croam::wantTriangle(Diamond* d, int side) {
    if ((d->flags & diamondFixed) || (d->parent[side]->flags & diamondFixed)) return;
    uint8_t bit = static_cast<uint8_t>(diamondWant0 << side);
    if (d->flags & bit) return;  // already in the list
    d->flags |= bit;
    if (d->cull & cullOutside) ++hiddenTriangles;
    else addTriangle(d, side);
}

void Croam::dropTriangle(Diamond* d, int side) {
    if ((d->flags & diamondFixed) || (d->parent[side]->flags & diamondFixed)) return;
    uint8_t bit = static_cast<uint8_t>(diamondWant0 << side);
    if (!(d->flags & bit)) return;
    d->flags &= static_cast<uint8_t>(~bit);
    if (d->cull & cullOutside) --hiddenTriangles;
    else removeTriangle(d, side);
}

void Croam::addTriangle(Diamond* d, int side) {
    int n = nextTriangle++;
    if (n >= triangleCapacity) {
        outputError("Croam: out of triangle memory\n");
        std::exit(1);
    }
    --freeTriangles;
    d->triangle[side] = static_cast<uint32_t>(n);
    triangleOwner[n] = diamondIndex(d) * 2 + side;

    // Corners in drawing order (clockwise seen from above).
    const Diamond* corners[3];
    if (side == 0) {
        corners[0] = d->ancestor[0];
        corners[1] = d->parent[0];
        corners[2] = d->ancestor[1];
    } else {
        corners[0] = d->ancestor[1];
        corners[1] = d->parent[1];
        corners[2] = d->ancestor[0];
    }
    RoamVertex* vertex = &triangleVertices[static_cast<size_t>(n) * 3];
    float repeat = static_cast<float>(detailRepeat);
    for (int c = 0; c < 3; ++c) {
        const Diamond* corner = corners[c];
        vertex[c].x = corner->x;
        vertex[c].y = corner->y;
        vertex[c].z = corner->z;
        vertex[c].s = corner->x / size * repeat;
        vertex[c].t = corner->z / size * repeat;
        roamExtent[0] = std::max(roamExtent[0], corner->x);
        roamExtent[1] = std::max(roamExtent[1], corner->y);
        roamExtent[2] = std::max(roamExtent[2], corner->z);
    }
    vertexCount += 3;
    triangleCount += 1;
}

void Croam::removeTriangle(Diamond* d, int side) {
    int n = d->triangle[side];
    assert(n != 0 && "removeTriangle: this side has no triangle (wanted flag and triangle list disagree)");
    if (n == 0) return;
    d->triangle[side] = 0;
    --nextTriangle;
    ++freeTriangles;
    int last = nextTriangle;
    if (last != n) {
        int owner = triangleOwner[last];
        triangleOwner[n] = owner;
        pool[owner >> 1].triangle[owner & 1] = static_cast<uint32_t>(n);
        std::memcpy(&triangleVertices[static_cast<size_t>(n) * 3], &triangleVertices[static_cast<size_t>(last) * 3],
                    sizeof(RoamVertex) * 3);
    }
    triangleOwner[last] = -1;
    vertexCount -= 3;
    triangleCount -= 1;
}

void Croam::drawRoam() {
    if (!triangleVertices || nextTriangle <= 1) return;
    glPushMatrix();
    glScalef(xScale, yScale, zScale);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glPushAttrib(GL_CURRENT_BIT);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    // This frame's ordered copy in the buffer, or the slot list (slot 1 on).
    if (drawFromBuffer) {
        glBindBuffer(GL_ARRAY_BUFFER, drawBuffer);
        glVertexPointer(3, GL_FLOAT, sizeof(RoamVertex), reinterpret_cast<const void*>(offsetof(RoamVertex, x)));
        glTexCoordPointer(2, GL_FLOAT, sizeof(RoamVertex), reinterpret_cast<const void*>(offsetof(RoamVertex, s)));
    } else {
        glVertexPointer(3, GL_FLOAT, sizeof(RoamVertex), &triangleVertices[3].x);
        glTexCoordPointer(2, GL_FLOAT, sizeof(RoamVertex), &triangleVertices[3].s);
    }
    glDrawArrays(GL_TRIANGLES, 0, (nextTriangle - 1) * 3);
    if (drawFromBuffer) glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopAttrib();
    glPopClientAttrib();
    glPopMatrix();
}

bool Croam::prepareDrawBuffer() {
    if (!orderedDrawing || !triangleVertices || nextTriangle <= 1) return false;
    const size_t triangles = static_cast<size_t>(nextTriangle - 1);
    const RoamVertex* slots = &triangleVertices[3];  // slot 1
    // Distance steps of the centroids, world units.
    float eye[3];
    getCameraPositionXYZ(eye[0], eye[1], eye[2]);
    constexpr uint32_t steps = 4096;
    drawKeys.resize(triangles * 2);
    float* distance = reinterpret_cast<float*>(drawKeys.data() + triangles);
    float farthest = 0.0f;
    for (size_t i = 0; i < triangles; ++i) {
        const RoamVertex* v = slots + 3 * i;
        float dx = (v[0].x + v[1].x + v[2].x) * (xScale / 3.0f) - eye[0];
        float dy = (v[0].y + v[1].y + v[2].y) * (yScale / 3.0f) - eye[1];
        float dz = (v[0].z + v[1].z + v[2].z) * (zScale / 3.0f) - eye[2];
        float d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!(d < 3.0e38f)) d = 0.0f;  // a NaN or infinite centre goes first
        distance[i] = d;
        farthest = std::max(farthest, d);
    }
    // A counting sort by step keeps the slot order within a step.
    const float toStep = farthest > 0.0f ? (steps - 1) / farthest : 0.0f;
    uint32_t count[steps + 1] = {};
    for (size_t i = 0; i < triangles; ++i) {
        uint32_t step = std::min<uint32_t>(steps - 1, static_cast<uint32_t>(distance[i] * toStep));
        drawKeys[i] = step;
        ++count[step + 1];
    }
    for (uint32_t k = 1; k <= steps; ++k) count[k] += count[k - 1];
    drawList.resize(triangles * 3);
    for (size_t i = 0; i < triangles; ++i) {
        uint32_t at = count[drawKeys[i]]++;
        std::memcpy(&drawList[static_cast<size_t>(at) * 3], slots + 3 * i, sizeof(RoamVertex) * 3);
    }
    const size_t bytes = drawList.size() * sizeof(RoamVertex);
    if (!drawBuffer) {
        while (glGetError() != GL_NO_ERROR) {
        }
        GLuint name = 0;
        glGenBuffers(1, &name);
        if (!name || glGetError() != GL_NO_ERROR) {
            orderedDrawing = 0;  // no buffer objects: client memory from now on
            return false;
        }
        drawBuffer = name;
        drawBufferBytes = 0;
    }
    glBindBuffer(GL_ARRAY_BUFFER, drawBuffer);
    if (bytes > drawBufferBytes) {
        // Room for growth, so a mesh that grows a little does not reallocate
        // every frame.
        drawBufferBytes = bytes + bytes / 4;
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(drawBufferBytes), nullptr, GL_STREAM_DRAW);
    }
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), drawList.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return true;
}

void Croam::drawRoamPass(int multiTex, float repeat) {
    if (!triangleVertices || nextTriangle <= 1) return;
    const bool twoSets = multiTex != 0 && multitextureReady() && glClientActiveTextureARB_ != nullptr;
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushMatrix();
    glScalef(xScale, yScale, zScale);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    // This frame's ordered copy in the buffer, or the slot list (slot 1 on).
    if (drawFromBuffer) glBindBuffer(GL_ARRAY_BUFFER, drawBuffer);
    const void* position = drawFromBuffer ? reinterpret_cast<const void*>(offsetof(RoamVertex, x)) : &triangleVertices[3].x;
    const void* coordinates = drawFromBuffer ? reinterpret_cast<const void*>(offsetof(RoamVertex, s)) : &triangleVertices[3].s;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(RoamVertex), position);
    // The stored (s, t) is x / size, z / size; unit 0's repeat comes from
    // its texture matrix.
    GLint activeUnit = GL_TEXTURE0_ARB;
    if (twoSets) {
        glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &activeUnit);
        glClientActiveTextureARB_(GL_TEXTURE1_ARB);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, sizeof(RoamVertex), coordinates);
        glClientActiveTextureARB_(GL_TEXTURE0_ARB);
        glActiveTextureARB_(GL_TEXTURE0_ARB);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        glScalef(repeat, repeat, 1.0f);
        glMatrixMode(GL_MODELVIEW);
        glActiveTextureARB_(static_cast<GLenum>(activeUnit));
    } else if (glClientActiveTextureARB_) {
        glClientActiveTextureARB_(GL_TEXTURE0_ARB);
    }
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(RoamVertex), coordinates);
    glColor4f(1.0f, 1.0f, 1.0f, colour[3]);
    glDrawArrays(GL_TRIANGLES, 0, (nextTriangle - 1) * 3);
    if (twoSets) {
        glActiveTextureARB_(GL_TEXTURE0_ARB);
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glActiveTextureARB_(static_cast<GLenum>(activeUnit));
    }
    if (drawFromBuffer) glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPopClientAttrib();
    glPopMatrix();
    glColor4fv(colour);
}

void Croam::renderRoam() {
    reportTerrainTitle("ROAM %f %f %f", roamExtent[0], roamExtent[1], roamExtent[2]);
    optimiseFrame();
    drawRoamFrame();
}

void Croam::optimiseFrame() {
    drawnTriangles = 0;
    if (!pool) {
        triangleCount = 0;
        vertexCount = 0;
        return;
    }
    // The tolerance of the scene (a bad value counts as 0: the fixed rule)
    // and the pixel scale of this frame's view.
    pixelTolerance = std::isfinite(terrainErrorTolerance) && terrainErrorTolerance > 0.0f ? terrainErrorTolerance : 0.0f;
    pixelsPerUnit = frustumPixelsPerUnit;
    optimise();
}

void Croam::drawRoamFrame() {
    drawnTriangles = 0;
    if (!pool) return;
    GLint oldFrontFace = GL_CCW;
    GLint oldTexture = 0;
    glGetIntegerv(GL_FRONT_FACE, &oldFrontFace);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &oldTexture);
    glFrontFace(GL_CW);
    glPushMatrix();
    multiTexCoords = 0;
    detailRepeat = 1;
    drawFromBuffer = prepareDrawBuffer();
    if (uniformTexturing) {
        // The brute-force passes over the mesh; every pass counts its
        // triangles, as brute force counts them.
        if (splattingEnabled) {
            drawSplattingPasses(drawRoamPassFor, this, false);
            if (lightmapEnabled) drawLightmapPass(drawRoamPassFor, this, 1, true);
        } else {
            drawBaseTexturePass(drawRoamPassFor, this);
            if (lightmapEnabled) drawLightmapPass(drawRoamPassFor, this, 0, true);
        }
        drawnTriangles = triangleCount * (1 + (splattingEnabled ? 1 : 0) + (lightmapEnabled ? 1 : 0));
    } else {
        // The base texture alone: no splatting, no lightmap pass.
        glBindTexture(GL_TEXTURE_2D, baseTexture);
        drawRoam();
        drawnTriangles = triangleCount;
    }
    drawFromBuffer = false;
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(oldTexture));
    glFrontFace(static_cast<GLenum>(oldFrontFace));
}
