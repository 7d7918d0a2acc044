// RoamMeshTest.cpp -- the ROAM diamond mesh and its optimiser on a small
// synthetic map: set-up, forced splits, the dense triangle list, fixed kids,
// priorities, the outside demotion, the optimiser's budgets and its fatal
// stops. Every test that leaves the mesh at rest also runs the invariant
// checker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "camera/camera.h"
#include "terrain/RoamTestMap.h"
#include "terrain/roam.h"

namespace {

class RoamMesh : public ::testing::Test {
protected:
    void SetUp() override {
        setOpenFrustum();
        setCameraPositionRaw(64.0f, 40.0f, 64.0f);
        roam = std::make_unique<Croam>();
        fillFractalMap(*roam, 129, 7u);
        roam->setScale(1.0f, 0.25f, 1.0f);
        ASSERT_TRUE(roam->setupRoam(13, 65536));
    }

    void expectIntact() { EXPECT_EQ(checkRoamInvariants(*roam), ""); }

    // The first kid of d that is not fixed.
    static Diamond* openKid(Diamond* d) {
        for (Diamond* k : d->kid)
            if (k && !(k->flags & diamondFixed)) return k;
        return nullptr;
    }

    std::unique_ptr<Croam> roam;
};

TEST_F(RoamMesh, SetupLeavesTheRootAsTwoTrianglesInTheSplitQueue) {
    Diamond* root = roam->root();
    EXPECT_EQ(roam->triangleCount, 2);
    EXPECT_EQ(roam->nextTriangle, 3);
    EXPECT_EQ(roam->freeTriangles, 65533);
    EXPECT_EQ(roam->freeDiamonds, 65536 - 32);
    EXPECT_EQ(roam->splitMax, 4095);
    EXPECT_EQ(roam->mergeMin, 4096);
    EXPECT_EQ(roam->splitBuckets[4095], root);
    EXPECT_EQ(root->lockCount, 2) << "the set-up lock and the split queue's";
    // The grid mapping uses size - 1, so the root of a 129 map sits on the
    // sample (64, 64) and takes its height.
    EXPECT_FLOAT_EQ(root->x, 64.0f);
    EXPECT_FLOAT_EQ(root->z, 64.0f);
    EXPECT_FLOAT_EQ(root->y, roam->sample(64, 64));
    const float baseColumns[4] = {0.0f, 64.0f, 128.0f, 128.0f};
    const float outerColumns[4] = {0.0f, 0.0f, 128.0f, 128.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(roam->base[0][i]->x, baseColumns[i]) << "base column " << i;
        EXPECT_FLOAT_EQ(roam->outer[0][i]->x, outerColumns[i]) << "outer column " << i;
    }
    // The two triangles span the whole map, split along the (0,0)-(128,128) diagonal.
    const RoamVertex* v = &roam->triangleVertices[3];
    const float corners[6][2] = {{0, 0}, {128, 0}, {128, 128}, {128, 128}, {0, 128}, {0, 0}};
    for (int c = 0; c < 6; ++c) {
        EXPECT_FLOAT_EQ(v[c].x, corners[c][0]) << "vertex " << c;
        EXPECT_FLOAT_EQ(v[c].z, corners[c][1]) << "vertex " << c;
        EXPECT_FLOAT_EQ(v[c].y, roam->sample(static_cast<int>(v[c].x), static_cast<int>(v[c].z)));
    }
    expectIntact();
}

TEST(RoamSetup, RefusesWhatItCannotBuildAndThenDrawsNothing) {
    struct Case {
        const char* what;
        int mapSize, levels, poolSize, slots;
    };
    const Case cases[] = {
        {"no height grid", 0, 13, 65536, 65536},
        {"grid not 2^n + 1 on a side", 100, 13, 65536, 65536},
        {"negative levels", 129, -1, 65536, 65536},
        {"too many levels", 129, 101, 65536, 65536},
        {"pool below the 32 base diamonds", 129, 13, 31, 65536},
        {"no room for the root's two triangles", 129, 13, 65536, 2},
    };
    for (const Case& c : cases) {
        Croam roam;
        if (c.mapSize == 129) fillFractalMap(roam, c.mapSize, 1u);
        if (c.mapSize == 100) {
            roam.data = new uint8_t[100 * 100]();
            roam.size = 100;
        }
        EXPECT_FALSE(roam.setupRoam(c.levels, c.poolSize, c.slots)) << c.what;
        roam.optimise();
        roam.renderRoam();  // no mesh: returns before any drawing
        EXPECT_EQ(roam.triangleCount, 0) << c.what;
        EXPECT_EQ(checkRoamInvariants(roam), "") << c.what;
    }
}

TEST_F(RoamMesh, SplittingADiamondSplitsItsUnsplitParentFirst) {
    Diamond* root = roam->root();
    roam->split(root);
    Diamond* first = root->kid[0];
    roam->split(first);
    // A grandkid between root kids 0 and 1: parent 0 split, parent 1 not.
    Diamond* grandKid = first->kid[0];
    ASSERT_NE(grandKid, nullptr);
    Diamond* other = grandKid->parent[0] == first ? grandKid->parent[1] : grandKid->parent[0];
    ASSERT_FALSE(other->flags & diamondSplit);
    expectIntact();

    roam->split(grandKid);
    EXPECT_TRUE(grandKid->flags & diamondSplit);
    EXPECT_TRUE(other->flags & diamondSplit) << "the unsplit parent must be split first";
    EXPECT_TRUE(grandKid->parent[0]->splitState & (1 << grandKid->kidIndex[0]));
    EXPECT_TRUE(grandKid->parent[1]->splitState & (1 << grandKid->kidIndex[1]));
    expectIntact();

    // Merging the grandkid brings its parents back to the merge queue and
    // keeps its kids linked for reuse.
    Diamond* kept = grandKid->kid[2];
    roam->merge(grandKid);
    EXPECT_FALSE(grandKid->flags & diamondSplit);
    EXPECT_EQ(grandKid->kid[2], kept);
    EXPECT_TRUE(other->flags & diamondInMergeQueue);
    expectIntact();
}

TEST_F(RoamMesh, RemovingATriangleMovesOnlyTheLastSlot) {
    roam->split(roam->root());
    roam->split(roam->root()->kid[0]);
    roam->split(roam->root()->kid[2]);
    int used = roam->nextTriangle - 1;
    ASSERT_GE(used, 6);
    auto slotBytes = [&](int slot) {
        const char* begin = reinterpret_cast<const char*>(&roam->triangleVertices[slot * 3]);
        return std::vector<char>(begin, begin + 3 * sizeof(RoamVertex));
    };
    std::vector<std::vector<char>> before;
    std::vector<int> ownersBefore;
    for (int t = 1; t <= used; ++t) before.push_back(slotBytes(t)), ownersBefore.push_back(roam->triangleOwner[t]);

    // The triangle in the last used slot: nothing else moves.
    int owner = roam->triangleOwner[used];
    roam->removeTriangle(&roam->pool[owner >> 1], owner & 1);
    EXPECT_EQ(roam->nextTriangle, used);
    EXPECT_EQ(roam->triangleOwner[used], -1);
    for (int t = 1; t < used; ++t) {
        EXPECT_EQ(slotBytes(t), before[t - 1]) << "slot " << t;
        EXPECT_EQ(roam->triangleOwner[t], ownersBefore[t - 1]) << "slot " << t;
    }

    // The triangle in slot 1: the (new) last one fills the hole, its owner follows.
    int moved = roam->triangleOwner[used - 1];
    owner = roam->triangleOwner[1];
    roam->removeTriangle(&roam->pool[owner >> 1], owner & 1);
    EXPECT_EQ(roam->nextTriangle, used - 1);
    EXPECT_EQ(roam->triangleOwner[1], moved);
    EXPECT_EQ(roam->pool[moved >> 1].triangle[moved & 1], 1);
    EXPECT_EQ(slotBytes(1), before[used - 2]);
    for (int t = 2; t < used - 1; ++t) EXPECT_EQ(slotBytes(t), before[t - 1]) << "slot " << t;
    EXPECT_EQ(roam->triangleCount, used - 2);
}

TEST_F(RoamMesh, KidsOfFixedDiamondsAreFixedUndrawnAndWorthNothing) {
    // Splitting the root kids forces the fixed base diamonds beyond the map
    // edge to split, which creates their (fixed) kids.
    roam->split(roam->root());
    for (Diamond* k : roam->root()->kid) roam->split(k);
    for (Diamond* k : roam->root()->kid) roam->split(openKid(k));
    expectIntact();

    int fixedAncestor = 0, fixedParents = 0, openWithOneFixedParent = 0;
    for (int n = 0; n < roam->poolSize; ++n) {
        Diamond* d = &roam->pool[n];
        if (d->radiusSq < 0.0f || d->level < 1 || d->lockCount == 0) continue;
        bool ancestorFixed = d->ancestor[0]->flags & diamondFixed;
        bool parent0Fixed = d->parent[0]->flags & diamondFixed;
        bool parent1Fixed = d->parent[1]->flags & diamondFixed;
        if (ancestorFixed || (parent0Fixed && parent1Fixed)) {
            fixedAncestor += ancestorFixed;
            fixedParents += parent0Fixed && parent1Fixed;
            EXPECT_TRUE(d->flags & diamondFixed) << "diamond " << n;
            EXPECT_EQ(d->triangle[0], 0) << "diamond " << n;
            EXPECT_EQ(d->triangle[1], 0) << "diamond " << n;
            EXPECT_FALSE(d->flags & (diamondWant0 | diamondWant1)) << "diamond " << n;
            EXPECT_EQ(d->priority, 0) << "diamond " << n;
        } else if (parent0Fixed != parent1Fixed) {
            // On the map edge: drawn on the side of its open parent only.
            ++openWithOneFixedParent;
            EXPECT_FALSE(d->flags & diamondFixed) << "diamond " << n;
            int openSide = parent0Fixed ? 1 : 0;
            if (!(d->flags & diamondSplit) && (d->parent[openSide]->flags & diamondSplit)) {
                EXPECT_NE(d->triangle[openSide], 0) << "diamond " << n;
            }
            EXPECT_EQ(d->triangle[1 - openSide], 0) << "diamond " << n;
        }
    }
    EXPECT_GT(fixedAncestor, 0);
    EXPECT_GT(fixedParents, 0);
    EXPECT_GT(openWithOneFixedParent, 0);
}

TEST_F(RoamMesh, DiamondsAtTheDeepestLevelAreWorthNothingAndNeverSplit) {
    // Split a chain of open diamonds down to level 13.
    Diamond* d = roam->root();
    while (d->level < 13) {
        roam->split(d);
        d = openKid(d);
        ASSERT_NE(d, nullptr);
    }
    expectIntact();
    // With the eye right on it, level 12 is worth the most, level 13 nothing.
    setCameraPositionRaw(d->x * roam->xScale, d->y * roam->yScale, d->z * roam->zScale);
    roam->frame = (roam->frame + 1) % 256;
    roam->updatePriority(d);
    EXPECT_EQ(d->priority, 0);
    Diamond* parent = d->parent[0]->level == 12 ? d->parent[0] : d->parent[1];
    roam->updatePriority(parent);
    EXPECT_GT(parent->priority, roam->splitThreshold);

    for (int f = 0; f < 40; ++f) roam->optimise();
    expectIntact();
    int deepest = 0;
    for (int n = 0; n < roam->poolSize; ++n) {
        const Diamond* e = &roam->pool[n];
        if (e->radiusSq < 0.0f || e->lockCount == 0) continue;
        if (e->flags & diamondSplit) {
            EXPECT_LT(e->level, 13) << "diamond " << n;
        }
        if (e->flags & (diamondWant0 | diamondWant1)) deepest = std::max(deepest, static_cast<int>(e->level));
    }
    EXPECT_EQ(deepest, 13) << "the mesh under the eye reaches the deepest level";
}

TEST_F(RoamMesh, DiamondsOutsideTheViewLosePriority) {
    // Find eye distances that give the root an inside priority of exactly
    // 1000 and 100, then mark it outside: 1000 - 129/2 and (100 + 1) / 2.
    struct Case {
        int inside, outside;
    };
    const Case cases[] = {{1000, 936}, {100, 50}};
    Diamond* root = roam->root();
    auto priorityAt = [&](double distance, bool outside) {
        setCameraPositionRaw(root->x + static_cast<float>(distance), root->y * roam->yScale, root->z);
        root->cull = outside ? cullOutside : 0;
        root->frameStamp = static_cast<uint8_t>(roam->frame - 1);
        roam->updatePriority(root);
        return static_cast<int>(root->priority);
    };
    for (const Case& c : cases) {
        // The priority falls as the eye moves away: bisect on the distance.
        double nearer = 0.0, farther = 1e7, distance = 0.0;
        for (int step = 0; step < 200; ++step) {
            distance = (nearer + farther) / 2;
            int p = priorityAt(distance, false);
            if (p == c.inside) break;
            if (p > c.inside) nearer = distance;
            else farther = distance;
        }
        ASSERT_EQ(priorityAt(distance, false), c.inside);
        EXPECT_EQ(priorityAt(distance, true), c.outside) << "inside priority " << c.inside;
    }
}

TEST_F(RoamMesh, OptimiseWithBothQueuesEmptyOnlyAdvancesTheFrame) {
    roam->debugChecks = 0;  // the root out of its queue is not a resting mesh
    roam->setQueue(roam->root(), roamQueueNone, roam->root()->priority);
    ASSERT_EQ(roam->splitMax, -1);
    ASSERT_EQ(roam->mergeMin, 4096);
    roam->frame = 255;
    roam->optimise();
    EXPECT_EQ(roam->frame, 0) << "frame wraps at 256";
    EXPECT_EQ(roam->splitCount, 0);
    EXPECT_EQ(roam->mergeCount, 0);
    EXPECT_EQ(roam->triangleCount, 2);
    EXPECT_EQ(roam->freeDiamonds, 65536 - 32);
}

TEST(RoamOptimise, RefinesNearTheEyeCoarsensAwayAndFollowsTheEye) {
    // A 1025 map is large enough for the distance to matter at every level.
    setOpenFrustum();
    auto roam = std::make_unique<Croam>();
    fillFractalMap(*roam, 1025, 11u);
    roam->setScale(1.0f, 0.25f, 1.0f);
    ASSERT_TRUE(roam->setupRoam(13, 65536));
    auto placeEye = [&](float x, float z) {
        setCameraPositionRaw(x, roam->sample(static_cast<int>(x), static_cast<int>(z)) * roam->yScale + 3.0f, z);
    };
    // Mean level of the drawn triangles whose owner lies within (or beyond)
    // a horizontal distance of (x, z).
    auto meanLevel = [&](float x, float z, float radius, bool within) {
        double sum = 0.0;
        int count = 0;
        for (int t = 1; t < roam->nextTriangle; ++t) {
            const Diamond* d = &roam->pool[roam->triangleOwner[t] >> 1];
            if ((std::hypot(d->x - x, d->z - z) <= radius) == within) sum += d->level, ++count;
        }
        return count ? sum / count : -1.0;
    };

    placeEye(200.0f, 200.0f);
    for (int f = 0; f < 30; ++f) roam->optimise();
    ASSERT_EQ(checkRoamInvariants(*roam), "");
    EXPECT_LE(roam->triangleCount, roam->maxTriangles);
    double nearLevel = meanLevel(200.0f, 200.0f, 60.0f, true);
    double farLevel = meanLevel(200.0f, 200.0f, 500.0f, false);
    EXPECT_EQ(nearLevel, 13.0) << "the deepest level under the eye";
    EXPECT_LT(farLevel, 9.0) << "coarse far away";

    placeEye(800.0f, 800.0f);
    for (int f = 0; f < 30; ++f) roam->optimise();
    ASSERT_EQ(checkRoamInvariants(*roam), "");
    EXPECT_LT(meanLevel(200.0f, 200.0f, 60.0f, true), 10.0) << "the old spot coarsens";
    EXPECT_EQ(meanLevel(800.0f, 800.0f, 60.0f, true), 13.0) << "the new spot refines";
}

TEST_F(RoamMesh, DiamondsLeavingTheViewDropTheirTrianglesAndGetThemBack) {
    setCameraPositionRaw(64.0f, 30.0f, 64.0f);
    for (int f = 0; f < 20; ++f) roam->optimise();
    int everything = roam->triangleCount;

    // Only x < 40 in view: every triangle left must come from a diamond whose
    // sphere reaches that half.
    getCamera()->frustum[0][0] = -1.0f;
    getCamera()->frustum[0][3] = 40.0f;
    roam->optimise();
    EXPECT_EQ(checkRoamInvariants(*roam), "");
    EXPECT_EQ(checkRoamCull(*roam), "");
    EXPECT_LT(roam->triangleCount, everything * 3 / 4);
    for (int t = 1; t < roam->nextTriangle; ++t) {
        const Diamond* d = &roam->pool[roam->triangleOwner[t] >> 1];
        EXPECT_LE(d->x - 40.0f, std::sqrt(d->radiusSq) + 1e-3f) << "slot " << t;
    }

    setOpenFrustum();
    for (int f = 0; f < 20; ++f) roam->optimise();
    EXPECT_EQ(checkRoamInvariants(*roam), "");
    EXPECT_EQ(checkRoamCull(*roam), "");
    EXPECT_GT(roam->triangleCount, everything * 9 / 10);
}

TEST_F(RoamMesh, OptimiseMergesOnceFreeTriangleSlotsFallTo128) {
    setCameraPositionRaw(30.0f, 20.0f, 30.0f);
    for (int f = 0; f < 10; ++f) roam->optimise();
    ASSERT_GE(roam->splitMax, roam->splitThreshold) << "splits still wanted";
    long long merges = roam->mergeCount;
    // Shrink the slot capacity so that exactly 128 slots are left free.
    roam->triangleCapacity = roam->nextTriangle + 128;
    roam->freeTriangles = 128;
    ASSERT_EQ(checkRoamInvariants(*roam), "");
    roam->optimise();
    EXPECT_GT(roam->mergeCount, merges);
    EXPECT_GT(roam->freeTriangles, 128) << "merged back under budget";
    EXPECT_EQ(checkRoamInvariants(*roam), "");
    // Further frames trade splits for merges but never run out of slots.
    for (int f = 0; f < 20; ++f) roam->optimise();
    EXPECT_EQ(checkRoamInvariants(*roam), "");
    EXPECT_GE(roam->freeTriangles, 1);
}

TEST(RoamErrorTable, ADiamondsErrorIsTheGridSampleItsTrianglesMissAndNests) {
    // A 5 x 5 flat map with one raised sample at (1, 1). A diamond whose
    // triangles pass over (1, 1) without it as a corner misses it by 100;
    // one that has it as a corner, or does not reach it, misses nothing
    // unless a kid does.
    Croam roam;
    roam.data = new uint8_t[25]();
    roam.size = 5;
    roam.data[1 + 1 * 5] = 100;
    roam.setScale(1.0f, 0.25f, 1.0f);
    ASSERT_TRUE(roam.setupRoam(3, 1000));
    EXPECT_EQ(roam.gridLevels, 4);
    struct Case {
        int x, z;
        float error;  // raw sample units
        const char* why;
    };
    const Case cases[] = {
        {2, 2, 100.0f, "the root: (1, 1) lies inside its triangles"},
        {1, 1, 100.0f, "its own centre"},
        {2, 0, 100.0f, "on the edge between its corners (0, 0) and (2, 2)"},
        {0, 2, 100.0f, "the same, on the map edge (one apex off the map)"},
        {2, 1, 0.0f, "(1, 1) is one of its corners"},
        {3, 3, 0.0f, "does not reach (1, 1)"},
        {3, 1, 0.0f, "does not reach it, nor do its kids"},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(roam.errorTable[c.z * 5 + c.x], c.error) << "(" << c.x << ", " << c.z << "): " << c.why;
        EXPECT_FLOAT_EQ(roam.tableError(static_cast<float>(c.x), static_cast<float>(c.z)), c.error * 0.25f)
            << "world units";
    }
    EXPECT_FLOAT_EQ(roam.root()->heightError, 25.0f);
}

TEST(RoamSizes, TheFinestTrianglesNearTheEyeAreAsSmallOnEveryMap) {
    // Two levels per doubling of the map keep the finest triangles at legs
    // of sqrt(2) world units; with the eye 8 units over the middle of the
    // map, every triangle within 8 units of it is that fine under the fixed
    // rule (tolerance 0). (With a tolerance, flat ground may stay coarser.)
    struct Case {
        int size, levels;
    };
    const Case cases[] = {{129, 13}, {257, 15}, {513, 17}, {1025, 19}};
    for (const Case& c : cases) {
        EXPECT_EQ(roamLevelsFor(c.size), c.levels);
        {
            const float tolerance = 0.0f;
            auto roam = std::make_unique<Croam>();
            fillFractalMap(*roam, c.size, 2024u);
            roam->setScale(1.0f, 0.25f, 1.0f);
            ASSERT_TRUE(roam->setupRoam(roamLevelsFor(c.size), roamPoolSizeFor(c.size), roamTriangleSlotsFor(c.size)));
            roam->pixelTolerance = tolerance;
            roam->pixelsPerUnit = 927.0f;  // 768 pixels high, 45 degrees
            const float middle = (c.size - 1) * 0.5f;
            const float eye[3] = {middle, roam->sample(c.size / 2, c.size / 2) * roam->yScale + 8.0f, middle};
            const float target[3] = {middle, eye[1] - 10.0f, middle - 50.0f};
            setCameraView(eye, makeView(eye, target, 45.0f, 4.0f / 3.0f, 1.0f, 10000.0f));
            for (int f = 0; f < 60; ++f) roam->optimise();
            ASSERT_EQ(checkRoamInvariants(*roam), "") << c.size;
            int near = 0;
            float widest = 0.0f;
            for (int t = 1; t < roam->nextTriangle; ++t) {
                const RoamVertex* v = &roam->triangleVertices[t * 3];
                float reach = 0.0f, leg = 1e9f;
                for (int i = 0; i < 3; ++i) {
                    const RoamVertex& a = v[i];
                    const RoamVertex& b = v[(i + 1) % 3];
                    reach = std::max(reach, std::hypot(a.x - middle, a.z - middle));
                    leg = std::min(leg, std::hypot(a.x - b.x, a.z - b.z));
                }
                if (reach > 8.0f) continue;
                ++near;
                widest = std::max(widest, leg);
            }
            EXPECT_GE(near, 8) << c.size << " map, tolerance " << tolerance;
            EXPECT_LE(widest, 1.5f) << c.size << " map, tolerance " << tolerance;
        }
    }
}

TEST(RoamTolerance, EveryGridSampleUnderTheDrawnMeshIsWithinTheTolerance) {
    // With a tolerance in pixels, no grid sample under a drawn triangle may
    // lie farther from it than the tolerance, seen from the eye (the error is
    // projected from the nearest point of each diamond's sphere, so the
    // sample's own distance can only make it smaller). At tolerance 0 the
    // fixed rule leaves far more out.
    auto roam = std::make_unique<Croam>();
    fillFractalMap(*roam, 257, 5u);
    roam->setScale(1.0f, 0.25f, 1.0f);
    ASSERT_TRUE(roam->setupRoam(roamLevelsFor(257), roamPoolSizeFor(257), roamTriangleSlotsFor(257)));
    const float pixelsPerUnit = 927.0f;
    const float eye[3] = {128.0f, roam->sample(128, 200) * roam->yScale + 10.0f, 200.0f};
    const float target[3] = {128.0f, eye[1] - 20.0f, 120.0f};
    setCameraView(eye, makeView(eye, target, 45.0f, 4.0f / 3.0f, 1.0f, 10000.0f));

    // The largest projected miss over the samples under the drawn triangles.
    auto worstMiss = [&] {
        double worst = 0.0;
        for (int t = 1; t < roam->nextTriangle; ++t) {
            const RoamVertex* v = &roam->triangleVertices[t * 3];
            double x0 = v[0].x, z0 = v[0].z, x1 = v[1].x - x0, z1 = v[1].z - z0, x2 = v[2].x - x0, z2 = v[2].z - z0;
            double det = x1 * z2 - x2 * z1;
            int lowX = static_cast<int>(std::min({v[0].x, v[1].x, v[2].x}));
            int highX = static_cast<int>(std::max({v[0].x, v[1].x, v[2].x}));
            int lowZ = static_cast<int>(std::min({v[0].z, v[1].z, v[2].z}));
            int highZ = static_cast<int>(std::max({v[0].z, v[1].z, v[2].z}));
            for (int z = lowZ; z <= highZ; ++z)
                for (int x = lowX; x <= highX; ++x) {
                    double a = ((x - x0) * z2 - x2 * (z - z0)) / det, b = (x1 * (z - z0) - (x - x0) * z1) / det;
                    if (a < -1e-9 || b < -1e-9 || a + b > 1 + 1e-9) continue;
                    double surface = v[0].y + a * (v[1].y - v[0].y) + b * (v[2].y - v[0].y);
                    double miss = std::fabs(surface - roam->sample(x, z)) * roam->yScale;
                    double dx = x - eye[0], dy = roam->sample(x, z) * roam->yScale - eye[1], dz = z - eye[2];
                    worst = std::max(worst, miss * pixelsPerUnit / std::sqrt(dx * dx + dy * dy + dz * dz));
                }
        }
        return worst;
    };

    for (float tolerance : {4.0f, 1.0f, 0.5f}) {
        roam->pixelTolerance = tolerance;
        roam->pixelsPerUnit = pixelsPerUnit;
        for (int f = 0; f < 120; ++f) roam->optimise();
        ASSERT_EQ(checkRoamInvariants(*roam), "");
        ASSERT_LT(roam->triangleCount, roam->maxTriangles) << "the triangle budget must not bind here";
        // Priorities are buckets of 1/128 of a doubling.
        EXPECT_LE(worstMiss(), tolerance * 1.01) << "tolerance " << tolerance << " px";
    }
    roam->pixelTolerance = 0.0f;
    for (int f = 0; f < 120; ++f) roam->optimise();
    EXPECT_GT(worstMiss(), 4.0) << "the fixed rule is not bounded by a tolerance";
}

using RoamMeshDeathTest = RoamMesh;

TEST_F(RoamMeshDeathTest, RunningOutOfTriangleSlotsStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            for (int n = 0; n < 70000; ++n) roam->addTriangle(roam->root(), 0);
        },
        ::testing::ExitedWithCode(1), "Croam: out of triangle memory\n");
}

TEST(RoamDeathTest, AnEmptyDiamondPoolStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Croam roam;
    fillFractalMap(roam, 129, 3u);
    ASSERT_TRUE(roam.setupRoam(13, 32));  // room for the base mesh only
    EXPECT_EXIT(roam.split(roam.root()), ::testing::ExitedWithCode(1), "Croam: out of diamond records");
}

}  // namespace
