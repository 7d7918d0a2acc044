// roamCheck.cpp -- the ROAM mesh invariant checker.
//
// Provides: checkRoamInvariants, checkRoamCull (declared in roam.h).
// Walks the whole pool, both queues, the free list and the triangle list and
// reports the first rule that does not hold, in words that name the diamond
// (pool index and level) and the numbers that disagree. The rules are the
// ones listed in roam.h, with the grid shape and error of every drawn
// diamond. The tests run it after every frame; debug builds run
// it after every optimise(). Costs one pass over the pool and the triangle
// list; read-only.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "terrain/roam.h"

namespace {

std::string describe(const Croam& roam, const Diamond* d) {
    char text[64];
    snprintf(text, sizeof text, "diamond %d (level %d)", roam.diamondIndex(d), d->level);
    return text;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char text[256];
    va_list args;
    va_start(args, pattern);
    vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

bool isSplit(const Diamond* d) { return d->flags & diamondSplit; }
bool isFixed(const Diamond* d) { return d->flags & diamondFixed; }
bool inPool(const Croam& roam, const Diamond* d) { return d >= roam.pool && d < roam.pool + roam.poolSize; }

// The most locks a record can hold between operations: four kid links, one
// queue membership and the permanent lock of a set-up record.
constexpr int maxRestingLocks = 6;

// A drawn diamond sits on a grid sample, has the shape the error table
// gives its centre, carries that table's error, and its error is at least
// each open kid's (errors nest).
std::string shapeProblem(const Croam& roam, const Diamond* d) {
    if (d->level >= roam.gridLevels) {
        // Below the last level that inserts samples: centred between
        // samples, nothing left to miss (only a set-up with more levels than
        // the grid has detail splits them).
        if (d->heightError != 0.0f) return format(" below the grid's detail has heightError %g", d->heightError);
        return "";
    }
    int x = static_cast<int>(d->x), z = static_cast<int>(d->z);
    if (x != d->x || z != d->z || !roam.inside(x, z))
        return format(" has its centre at (%g, %g), not on a grid sample", d->x, d->z);
    if (d->y != roam.sample(x, z)) return format(" has height %g, not the sample %d", d->y, roam.sample(x, z));
    RoamShape shape = roamShapeAt(roam.size, x, z);
    if (shape.level != d->level)
        return format(" at (%d, %d) is at level %d but the grid gives level %d", x, z, d->level, shape.level);
    auto at = [](const Diamond* corner, const int (&p)[2]) { return corner->x == p[0] && corner->z == p[1]; };
    bool ends = (at(d->ancestor[0], shape.ancestor[0]) && at(d->ancestor[1], shape.ancestor[1])) ||
                (at(d->ancestor[0], shape.ancestor[1]) && at(d->ancestor[1], shape.ancestor[0]));
    if (!ends)
        return format(" at (%d, %d): its base edge (%g, %g)-(%g, %g) is not the one the error table measured", x, z,
                      d->ancestor[0]->x, d->ancestor[0]->z, d->ancestor[1]->x, d->ancestor[1]->z);
    if (d->heightError != roam.tableError(d->x, d->z))
        return format(" has heightError %g but the table gives %g", d->heightError, roam.tableError(d->x, d->z));
    for (const Diamond* k : d->kid)
        if (k && !isFixed(k) && k->heightError > d->heightError)
            return format(" has heightError %g below its kid %s's %g: errors do not nest", d->heightError,
                          describe(roam, k).c_str(), k->heightError);
    return "";
}

// What is wrong with one record, or "" (the caller names the record).
std::string recordProblem(const Croam& roam, const Diamond* d, bool inFree, bool queued, bool setupRecord) {
    const int n = roam.diamondIndex(d);
    bool inQueue = d->flags & (diamondInSplitQueue | diamondInMergeQueue);
    if (inQueue && !queued) return " has a queue flag but is in no bucket";
    if (d->radiusSq < 0.0f) {
        if (d->lockCount != 0 || inQueue) return " was never used but holds locks or a queue flag";
        return "";
    }
    if ((d->lockCount == 0) != inFree)
        return format(" has lockCount %d but is %sin the free list", d->lockCount, inFree ? "" : "not ");
    if (d->lockCount > maxRestingLocks)
        return format(" holds %d locks; at most %d can be accounted for (the 8-bit lock count would overflow at 255): "
                      "a lock is leaking",
                      d->lockCount, maxRestingLocks);

    bool outerRecord = setupRecord && d->level < 0;
    int kidLinks = 0;
    for (int i = 0; i < 4; ++i) {
        const Diamond* k = d->kid[i];
        if (!k) continue;
        if (!inPool(roam, k)) return " has a kid link outside the pool";
        ++kidLinks;
        bool back = (k->parent[0] == d && k->kidIndex[0] == i) || (k->parent[1] == d && k->kidIndex[1] == i);
        if (!back)
            return format(" lists %s as kid %d, but the kid does not name it back", describe(roam, k).c_str(), i);
    }
    // Outer records got their kid links at set-up without locks.
    int linkLocks = outerRecord ? 0 : kidLinks;
    int expected = (setupRecord ? 1 : 0) + (inQueue ? 1 : 0) + linkLocks;
    if (d->lockCount != expected)
        return format(" has lockCount %d but %d kid links, %d queue membership and %d set-up lock account for %d",
                      d->lockCount, linkLocks, inQueue ? 1 : 0, setupRecord ? 1 : 0, expected);
    if (outerRecord) {
        if (inQueue) return " is an outer diamond in a queue";
        if (!isSplit(d)) return " is an outer diamond that is not split";
        return "";
    }
    if (!setupRecord) {
        for (int j = 0; j < 2; ++j) {
            const Diamond* p = d->parent[j];
            if (!p || !inPool(roam, p)) return format(" has no parent %d", j);
            if (p->kid[d->kidIndex[j]] != d)
                return format(": parent %d (%s) does not hold it in kid slot %d", j, describe(roam, p).c_str(),
                              d->kidIndex[j]);
            if (static_cast<bool>(d->splitState & (16 << j)) != isSplit(p))
                return format(": splitState bit for parent %d says %d, the parent's flag says %d", j,
                              (d->splitState >> (4 + j)) & 1, isSplit(p) ? 1 : 0);
        }
        bool shouldBeFixed = isFixed(d->ancestor[0]) || (isFixed(d->parent[0]) && isFixed(d->parent[1]));
        if (shouldBeFixed != isFixed(d))
            return format(" is %sfixed but its ancestor and parents say otherwise", isFixed(d) ? "" : "not ");
    }
    if (!isFixed(d) && d->level >= 0) {
        std::string problem = shapeProblem(roam, d);
        if (!problem.empty()) return problem;
    }
    for (int i = 0; i < 4; ++i) {
        bool kidSplit = d->kid[i] && isSplit(d->kid[i]);
        if (static_cast<bool>(d->splitState & (1 << i)) != kidSplit)
            return format(": splitState bit for kid %d says %d, the kid says %d", i, (d->splitState >> i) & 1,
                          kidSplit ? 1 : 0);
    }

    bool parentSplit = isSplit(d->parent[0]) || isSplit(d->parent[1]);
    bool anyKidSplit = d->splitState & 15;
    if (isSplit(d)) {
        for (int i = 0; i < 4; ++i)
            if (!d->kid[i]) return format(" is split but kid %d is missing", i);
        for (int j = 0; j < 2; ++j)
            if (!isSplit(d->parent[j]))
                return format(" is split but its parent %d (%s) is not (a crack)", j,
                              describe(roam, d->parent[j]).c_str());
        if (d->flags & diamondInSplitQueue) return " is split but in the split queue";
        if (!isFixed(d) && !anyKidSplit && !(d->flags & diamondInMergeQueue))
            return " is split with no split kid but not in the merge queue";
        if (anyKidSplit && inQueue) return " has a split kid but is still in a queue";
    } else {
        if (d->flags & diamondInMergeQueue) return " is not split but in the merge queue";
        if (!isFixed(d) && parentSplit && !(d->flags & diamondInSplitQueue))
            return " is not split, has a split parent, but is not in the split queue";
        if (!parentSplit && inQueue) return " has no split parent but is in a queue";
    }

    // Wanted sides and their triangle slots.
    for (int s = 0; s < 2; ++s) {
        bool wanted = d->flags & (diamondWant0 << s);
        bool shouldWant = isSplit(d->parent[s]) && !isSplit(d) && !isFixed(d) && !isFixed(d->parent[s]);
        if (wanted != shouldWant)
            return format(": side %d is %swanted but should %sbe", s, wanted ? "" : "not ", shouldWant ? "" : "not ");
        bool shouldHave = wanted && !(d->cull & cullOutside);
        int t = static_cast<int>(d->triangle[s]);
        if ((t != 0) != shouldHave)
            return format(": side %d has triangle slot %d but should %shave one (wanted %d, cull %d)", s, t,
                          shouldHave ? "" : "not ", wanted ? 1 : 0, d->cull);
        if (t != 0 && (t >= roam.nextTriangle || roam.triangleOwner[t] != n * 2 + s))
            return format(": side %d names triangle slot %d, whose owner entry is %d", s, t,
                          t < roam.triangleCapacity ? roam.triangleOwner[t] : -2);
    }
    return "";
}

}  // namespace

std::string checkRoamInvariants(const Croam& roam) {
    if (!roam.pool) return "";
    const int poolSize = roam.poolSize;

    // Free list: well linked, counted, and holding exactly the unlocked records.
    std::vector<char> inFree(poolSize, 0);
    int freeCount = 0;
    const Diamond* previous = nullptr;
    for (const Diamond* d = roam.freeHead; d; d = d->next) {
        if (!inPool(roam, d)) return "free list: a link points outside the pool";
        if (d->prev != previous) return "free list: " + describe(roam, d) + " has a wrong prev link";
        if (inFree[roam.diamondIndex(d)]) return "free list: " + describe(roam, d) + " appears twice (cycle)";
        inFree[roam.diamondIndex(d)] = 1;
        if (d->lockCount != 0)
            return format("free list: %s is in the free list with lockCount %d", describe(roam, d).c_str(), d->lockCount);
        ++freeCount;
        previous = d;
    }
    if (previous != roam.freeTail) return "free list: freeTail is not the last record of the list";
    if (freeCount != roam.freeDiamonds)
        return format("free list: freeDiamonds is %d but the list holds %d records", roam.freeDiamonds, freeCount);

    // Queues: every member flagged for its queue and filed under its priority.
    std::vector<char> queued(poolSize, 0);
    int highestSplit = -1, lowestMerge = roamBucketCount;
    for (int q = 0; q < 2; ++q) {
        const Diamond* const* buckets = q == 0 ? roam.splitBuckets : roam.mergeBuckets;
        uint8_t bit = q == 0 ? diamondInSplitQueue : diamondInMergeQueue;
        const char* name = q == 0 ? "split queue" : "merge queue";
        for (int b = 0; b < roamBucketCount; ++b) {
            const Diamond* before = nullptr;
            int length = 0;
            for (const Diamond* d = buckets[b]; d; d = d->next) {
                if (!inPool(roam, d)) return format("%s bucket %d: a link points outside the pool", name, b);
                if (++length > poolSize) return format("%s bucket %d: the list is a cycle", name, b);
                if (d->prev != before)
                    return format("%s bucket %d: %s has a wrong prev link", name, b, describe(roam, d).c_str());
                if (queued[roam.diamondIndex(d)])
                    return format("%s bucket %d: %s is in a queue twice", name, b, describe(roam, d).c_str());
                queued[roam.diamondIndex(d)] = 1;
                if ((d->flags & (diamondInSplitQueue | diamondInMergeQueue)) != bit)
                    return format("%s bucket %d: %s has queue flags %d", name, b, describe(roam, d).c_str(),
                                  d->flags & (diamondInSplitQueue | diamondInMergeQueue));
                if (d->priority != b)
                    return format("%s bucket %d: %s has priority %d", name, b, describe(roam, d).c_str(), d->priority);
                if (inFree[roam.diamondIndex(d)])
                    return format("%s: %s is also in the free list", name, describe(roam, d).c_str());
                before = d;
            }
            if (buckets[b]) {
                if (q == 0) highestSplit = b;
                else if (lowestMerge == roamBucketCount) lowestMerge = b;
            }
        }
    }
    if (roam.splitMax != highestSplit)
        return format("split queue: splitMax is %d but the highest non-empty bucket is %d", roam.splitMax, highestSplit);
    if (roam.mergeMin != lowestMerge)
        return format("merge queue: mergeMin is %d but the lowest non-empty bucket is %d", roam.mergeMin, lowestMerge);

    std::vector<char> setupRecords(poolSize, 0);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            if (roam.base[j][i]) setupRecords[roam.diamondIndex(roam.base[j][i])] = 1;
            if (roam.outer[j][i]) setupRecords[roam.diamondIndex(roam.outer[j][i])] = 1;
        }

    // Per record: locks, links, split state, queue membership, wanted sides.
    int hidden = 0;
    for (int n = 0; n < poolSize; ++n) {
        const Diamond* d = &roam.pool[n];
        std::string problem = recordProblem(roam, d, inFree[n], queued[n], setupRecords[n]);
        if (!problem.empty()) return describe(roam, d) + problem;
        if (d->radiusSq >= 0.0f && (d->cull & cullOutside))
            hidden += ((d->flags & diamondWant0) ? 1 : 0) + ((d->flags & diamondWant1) ? 1 : 0);
    }
    if (roam.hiddenTriangles != hidden)
        return format("triangle list: hiddenTriangles is %d but %d wanted sides lie outside the view",
                      roam.hiddenTriangles, hidden);

    // Triangle list: dense, owned, counted, and holding the owner's corners.
    if (roam.nextTriangle < 1 || roam.nextTriangle > roam.triangleCapacity)
        return format("triangle list: nextTriangle %d is outside 1-%d", roam.nextTriangle, roam.triangleCapacity);
    int used = roam.nextTriangle - 1;
    if (roam.freeTriangles != roam.triangleCapacity - roam.nextTriangle)
        return format("triangle list: freeTriangles is %d but %d of %d slots are used", roam.freeTriangles, used,
                      roam.triangleCapacity - 1);
    if (roam.triangleCount != used)
        return format("triangle list: triangleCount is %d but %d slots are used", roam.triangleCount, used);
    if (roam.vertexCount != used * 3)
        return format("triangle list: vertexCount is %d but %d slots are used", roam.vertexCount, used);
    if (roam.triangleOwner[0] != -1) return "triangle list: slot 0 has an owner";
    for (int t = 1; t < roam.triangleCapacity; ++t) {
        int owner = roam.triangleOwner[t];
        if (t >= roam.nextTriangle) {
            if (owner != -1) return format("triangle list: slot %d lies beyond the list but has owner %d", t, owner);
            continue;
        }
        if (owner < 0 || (owner >> 1) >= poolSize)
            return format("triangle list: slot %d below nextTriangle has no valid owner (%d): the list has a hole", t,
                          owner);
        const Diamond* d = &roam.pool[owner >> 1];
        int s = owner & 1;
        if (static_cast<int>(d->triangle[s]) != t)
            return format("triangle list: slot %d belongs to %s side %d, which names slot %d", t,
                          describe(roam, d).c_str(), s, d->triangle[s]);
        const Diamond* corners[3] = {d->ancestor[s], d->parent[s], d->ancestor[1 - s]};
        const RoamVertex* v = &roam.triangleVertices[static_cast<size_t>(t) * 3];
        for (int c = 0; c < 3; ++c)
            if (v[c].x != corners[c]->x || v[c].y != corners[c]->y || v[c].z != corners[c]->z)
                return format("triangle list: slot %d vertex %d does not match corner %d of %s side %d", t, c, c,
                              describe(roam, d).c_str(), s);
    }
    return "";
}

std::string checkRoamCull(const Croam& roam) {
    if (!roam.pool) return "";
    for (int n = 0; n < roam.poolSize; ++n) {
        const Diamond* d = &roam.pool[n];
        if (d->radiusSq < 0.0f || d->lockCount == 0 || d->level < 0 || (d->flags & diamondFixed)) continue;
        bool relevant = d->flags & (diamondInSplitQueue | diamondInMergeQueue | diamondWant0 | diamondWant1);
        if (!relevant) continue;
        uint8_t expected = roam.cullValue(d);
        if (expected != d->cull)
            return format("%s has cull %d but the current planes give %d (the cull walk missed it)",
                          describe(roam, d).c_str(), d->cull, expected);
    }
    return "";
}
