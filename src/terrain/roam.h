// roam.h -- ROAM 2.0 terrain: an adaptive mesh of diamonds, refined and
// coarsened a little every frame.
//
// Provides: Diamond, RoamVertex, RoamQueue, RoamShape, the diamond flag and
// cull values, Croam (setupRoam, renderRoam, drawRoam, the pool, kid,
// split/merge and triangle-list operations, culling, priorities, queues, the
// per-frame optimiser and the geometric error table), the scene's sizes
// (roamLevelsFor, roamPoolSizeFor, roamTriangleSlotsFor), roamShapeAt,
// checkRoamInvariants and checkRoamCull.
//
// Files: roam.cpp builds the base mesh and owns the pool, kids, split and
// merge, the triangle list and drawing; roamOptimise.cpp owns culling,
// priorities, the two priority queues and optimise(); roamError.cpp the
// diamond shapes and the geometric error of every diamond; roamCheck.cpp is
// the invariant checker (used by the tests, and after every optimise() in
// debug builds).
//
// The mesh. A diamond is a pair of right isosceles triangles sharing a base
// edge; its centre vertex is the midpoint of that edge. Its two parents and
// two ancestors are the diamonds centred at the four corners (parents at the
// apexes, ancestors at the ends of the base edge). Splitting a diamond
// creates (or revives) its four kids and replaces its two triangles by one
// triangle of each kid; a diamond may only be split when both parents are
// split, so the mesh never has T-junctions. 16 base diamonds (level 0; only
// the centre one, the root, lies on the map, the rest are "fixed": never
// drawn) sit on 16 permanently split outer diamonds (levels -1 and -2) that
// close the hierarchy.
//
// Invariants (checked by checkRoamInvariants; every operation keeps them):
// - A record is in the free list exactly when its lockCount is 0. Each kid
//   link holds one lock on the parent (except the links wired at set-up
//   between outer and base diamonds, which are permanent), membership in a
//   queue holds one lock, the 32 set-up records hold one permanent lock each,
//   and an operation creating or visiting a kid holds a temporary lock.
//   At rest a record holds at most 4 + 1 + 1 = 6 locks (the 8-bit counter
//   never comes near 255).
// - A split diamond has all four kids and split parents.
// - A split diamond whose kids are all unsplit is in the merge queue; an
//   unsplit diamond with a split parent is in the split queue (outer
//   diamonds are never queued; fixed ones need not be).
// - Side s of a diamond is wanted (flags 4 << s) when its parent s is split
//   and the diamond is not, unless it or that parent is fixed; a wanted side
//   has a triangle slot unless the diamond is outside the view.
// - Triangle slots 1 .. nextTriangle - 1 are all used (the list is dense);
//   triangleOwner names the diamond and side of each. hiddenTriangles counts
//   the wanted sides outside the view (they have no slot).
// - Every open diamond of a level below gridLevels has its centre on a grid
//   sample (the base mesh maps onto 0 .. size - 1), so its height is that
//   sample exactly; deeper diamonds (centred between samples) have
//   heightError 0 and split only under a set-up with more levels than the
//   grid has detail.
// - heightError is the diamond's entry of the error table (world units) and
//   errors nest: a diamond's heightError is at least each kid's.
//
// Sizes. The scene sets up 13 levels on the 129 map and two more per
// doubling of the map (roamLevelsFor), so the finest triangles are about 1.4
// world units across on every map. The pool and the triangle slots
// (roamPoolSizeFor, roamTriangleSlotsFor) are large enough that the
// optimiser's own budgets (maxTriangles, the split threshold or the error
// tolerance) stop the refinement, not the free-record or free-slot reserve.
//
// Refinement. With pixelTolerance 0 a diamond's priority is the logarithm of
// error / (200 * distance^2) (error = 65025 / 2^level), split from priority
// 1990 up, and level `levels` never splits. With pixelTolerance above 0 the
// priority is the logarithm of heightError projected on screen (pixels at the
// nearest point of its sphere, with pixelsPerUnit) over the tolerance,
// offset so that the split threshold is met exactly when the projected error
// reaches the tolerance; every level that still inserts grid samples may
// split (gridLevels), so the mesh can reach the grid itself near the eye.
//
// Coordinates. Centres are kept in grid units with the raw sample as height
// (x, sample, z), which is what the vertex array holds; drawRoam scales them
// into the world. Culling and priorities work in world units: the centre is
// scaled by (xScale, yScale, zScale) before it meets the camera position and
// the frustum planes, and radiusSq is a world-space radius.
//
// Threads: main thread only (the scene builds the object, the frame driver
// draws it). The camera position and frustum planes are read through
// camera/camera.h; renderRoam reads terrainErrorTolerance, uniformTexturing,
// splattingEnabled and lightmapEnabled (scene/sceneConfig.h) and
// frustumPixelsPerUnit (camera/frustum.h), all written on the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "terrain/heightmap.h"

struct Diamond {
    Diamond* parent[2];    // the two diamonds whose split created this one
    Diamond* ancestor[2];  // the diamonds at the ends of the base edge
    Diamond* kid[4];       // created on demand; null when absent
    Diamond* prev;         // free list or priority bucket links
    Diamond* next;
    float x, y, z;         // centre: grid x, raw sample, grid z
    float radiusSq;        // world-space bounding sphere; -1 = never used
    float error;           // fixed error of the level (65025 / 2^level)
    float heightError;     // world units: the most the diamond's triangles miss the grid by, nested
    uint16_t priority;     // queue bucket 0-4095
    uint32_t triangle[2];  // triangle slot of each side; 0 = none
    uint8_t kidIndex[2];   // slot of this diamond in parent[j]->kid
    int8_t level;          // 0 base, -1/-2 outer, kids one deeper than the creator
    uint8_t lockCount;     // references keeping the record from reuse
    uint8_t frameStamp;    // frame of the last priority computation
    uint8_t cull;          // bits 0-5 inside plane 0-5; 63 inside all; 64 outside
    uint8_t flags;         // diamondSplit, diamondWant0/1, diamondFixed, diamondIn*Queue
    uint8_t splitState;    // bits 0-3 kid i split; bits 4/5 parent 0/1 split
};

enum : uint8_t {
    diamondSplit = 1,
    diamondWant0 = 4,  // side 0 wanted in the triangle list (side s: 4 << s)
    diamondWant1 = 8,
    diamondFixed = 16,  // never split by choice, never drawn
    diamondInSplitQueue = 64,
    diamondInMergeQueue = 128,
};

enum : uint8_t {
    cullInsideAll = 63,
    cullOutside = 64,
};

enum RoamQueue { roamQueueNone, roamQueueSplit, roamQueueMerge };

// One vertex of the drawn array: texture s, t then position, 20 bytes.
struct RoamVertex {
    float s, t;
    float x, y, z;
};

constexpr int roamBucketCount = 4096;

// The scene's set-up for a map of the given size (129, 257, 513, 1025):
// 13, 15, 17, 19 levels; a pool and triangle slots that the optimiser's
// budgets bind before.
int roamLevelsFor(int size);
int roamPoolSizeFor(int size);
int roamTriangleSlotsFor(int size);

// The diamond centred on grid point (x, z) of a map with size - 1 = 2^n:
// its level and the grid points of its corners (ancestors = the ends of the
// base edge, parents = the apexes; the pair order is not the Diamond's).
// level -1 for the four map corners, which centre no diamond on the map.
struct RoamShape {
    int level;
    int ancestor[2][2];  // [corner][x, z]
    int parent[2][2];
};
RoamShape roamShapeAt(int size, int x, int z);

class Croam : public Cheightmap {
public:
    Diamond* pool = nullptr;  // poolSize records, owned
    int poolSize = 0;
    Diamond* freeHead = nullptr;  // least recently released first
    Diamond* freeTail = nullptr;
    Diamond* base[4][4] = {};   // level-0 base diamonds [row j][column i]; base[1][1] is the root
    Diamond* outer[4][4] = {};  // outer diamonds, levels -1 and -2
    Diamond* splitBuckets[roamBucketCount] = {};
    Diamond* mergeBuckets[roamBucketCount] = {};
    int mergeMin = roamBucketCount;  // lowest non-empty merge bucket; 4096 when empty
    int splitMax = -1;               // highest non-empty split bucket; -1 when empty
    int* triangleOwner = nullptr;    // per slot: pool index * 2 + side; -1 when free. Owned.
    int freeDiamonds = 0;
    int frame = 0;  // 0-255
    int splitThreshold = 1990;
    int triangleCapacity = 0;
    int freeTriangles = 0;
    int maxTriangles = 200000;
    int nextTriangle = 1;  // slot 0 is never used
    int logTable[256] = {};
    RoamVertex* triangleVertices = nullptr;  // triangleCapacity * 3 records, owned
    float* levelError = nullptr;             // levels + 1 entries, owned
    int levels = 0;                          // kids reach this level; it never splits (tolerance 0)

    // Geometric error of the diamond centred on each grid point, raw sample
    // units (size * size entries, owned): the largest vertical distance
    // between its two triangles and the grid samples under them, and never
    // less than any kid's. Built by setupRoam.
    float* errorTable = nullptr;
    int gridLevels = 0;  // 2 log2(size - 1): levels below it insert grid samples when split

    // Error tolerance in screen pixels (0: the fixed rule) and the pixels one
    // world unit spans at distance 1; renderRoam copies them from the scene
    // and the view each frame.
    float pixelTolerance = 0.0f;
    float pixelsPerUnit = 0.0f;
    int drawnTriangles = 0;  // triangles of all passes of the last renderRoam

    // Per object, so that several meshes (and tests) do not share them.
    int refreshCursor = 0;              // next pool record of the priority refresh
    // Wanted sides of diamonds outside the view: they hold no slot now but
    // take one the moment they come back into view, so the slot budget
    // counts them as used (a turn of the camera can then never run the
    // slots out).
    int hiddenTriangles = 0;
    float roamExtent[3] = {};           // running maxima of the emitted x, y, z; never reset
    long long splitCount = 0;           // statistics: splits and merges done so far
    long long mergeCount = 0;
    int debugChecks = 1;                // debug builds: check the invariants after optimise()

    // Drawing. drawRoamFrame copies the dense triangle list once per frame,
    // nearest triangles first (by the distance of their centroid from the
    // camera, in 4096 steps), into one vertex buffer object that each of its
    // passes draws from; the triangles, their vertices and the counts are
    // the list's, only the order in which they are drawn differs (the depth
    // test makes it invisible: the mesh does not overlap itself at one
    // depth). Without buffer objects, or with orderedDrawing 0 (bench
    // programs compare the two), every pass sends the list from client
    // memory in slot order. A further scene set-up forgets the buffer's name,
    // which belonged to the context of the set-up before.
    int orderedDrawing = 1;
    unsigned drawBuffer = 0;        // buffer object name; 0 before the first ordered frame
    size_t drawBufferBytes = 0;     // its storage
    bool drawFromBuffer = false;    // inside drawRoamFrame: passes read drawBuffer
    std::vector<RoamVertex> drawList;  // this frame's triangles in drawing order
    std::vector<uint32_t> drawKeys;    // per slot: distance step; then the order

    Croam() = default;
    ~Croam();
    Croam(const Croam&) = delete;
    Croam& operator=(const Croam&) = delete;

    // Builds the pool, the triangle arrays, the queues and the base mesh over
    // the loaded grid. Returns false (and leaves an object that draws
    // nothing) when no grid is loaded, the grid is smaller than 3 x 3 or
    // not 2^n + 1 on a side, levels is outside 0-100, poolSize is below 32,
    // triangleSlots is below 3, or memory runs out.
    bool setupRoam(int levels, int poolSize, int triangleSlots = 65536);

    // The frame entry: title, tolerance and view scale, optimise, draw: the
    // base texture alone, or with uniformTexturing the brute-force passes
    // (splatting and lightmap as switched).
    void renderRoam();
    // The level-of-detail half of renderRoam: this frame's tolerance and
    // view scale, then optimise (no GL calls).
    void optimiseFrame();
    // The drawing half of renderRoam: the current mesh, passes as above,
    // without optimising (the frame driver times the optimiser apart).
    void drawRoamFrame();
    // One glDrawArrays of the dense triangle list (from client memory).
    void drawRoam();
    // Fills drawList and drawBuffer for this frame; false when the passes are
    // to read client memory instead.
    bool prepareDrawBuffer();
    // One texturing pass of the mesh: multiTex 1 sends unit 1 (s, t) and unit
    // 0 (s, t) * repeat; multiTex 0 unit 0 (s, t).
    void drawRoamPass(int multiTex, float repeat);

    // Pool. allocDiamond ends the process (exit code 1) when the pool is empty.
    Diamond* allocDiamond();
    void lockDiamond(Diamond* d);
    void unlockDiamond(Diamond* d);
    // Kid i of d, created when absent; returned with a temporary lock.
    Diamond* getKid(Diamond* d, int i);

    void split(Diamond* d);  // splits unsplit parents first
    void merge(Diamond* d);  // kids stay linked for reuse

    void wantTriangle(Diamond* d, int side);
    void dropTriangle(Diamond* d, int side);
    // addTriangle ends the process (exit code 1) when the slots run out.
    void addTriangle(Diamond* d, int side);
    void removeTriangle(Diamond* d, int side);

    // roamOptimise.cpp
    void updateCull(Diamond* d);
    void cullRecurse(Diamond* d);
    void updatePriority(Diamond* d);
    void setQueue(Diamond* d, RoamQueue queue, int priority);
    void optimise();

    // Cull value d would get from its first ancestor and the current planes.
    uint8_t cullValue(const Diamond* d) const;
    // Approximate log2 in units of 2^23, from the float's bit pattern.
    int fastLog(float value) const;
    bool overBudget() const;
    RoamQueue queueOf(const Diamond* d) const;

    Diamond* root() const { return base[1][1]; }
    int diamondIndex(const Diamond* d) const { return static_cast<int>(d - pool); }

    // roamError.cpp: fills errorTable and gridLevels from the grid.
    bool buildErrorTable();
    // World-unit error of the diamond centred on (x, z); 0 off the map.
    float tableError(float x, float z) const;

private:
    void releaseRoam();
};

// roamCheck.cpp. A description of the first broken mesh invariant, or ""
// when all hold (also "" for an object that was never set up). Meant for
// rest points: not from inside an operation.
std::string checkRoamInvariants(const Croam& roam);
// A description of the first queued or drawn diamond whose cull state
// differs from what the current frustum planes give; "" when all agree.
// Holds right after optimise() with the planes it used.
std::string checkRoamCull(const Croam& roam);
