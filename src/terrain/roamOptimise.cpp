// roamOptimise.cpp -- ROAM 2.0 culling, priorities, the split and merge
// queues and the per-frame optimiser.
//
// Provides: Croam::updateCull, cullRecurse, cullValue, updatePriority,
// fastLog, setQueue, queueOf, overBudget, optimise.
// Rules kept here (the full list is in roam.h): a queue holds one lock on
// each member; a diamond's bucket is its priority; splitMax and mergeMin are
// always exactly the highest non-empty split bucket and the lowest non-empty
// merge bucket. Culling and distances are in world units (grid centre scaled
// by xScale, yScale, zScale), matching the camera position and planes.
// Main thread only; the camera position and planes come from camera/camera.h.
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "camera/camera.h"
#include "terrain/roam.h"
#include "util/output.h"

namespace {
constexpr int maxOperationsPerFrame = 2000;
constexpr int reserveDiamonds = 128;   // split no further with this few free records
constexpr int reserveTriangles = 128;  // or this few free triangle slots
}  // namespace

uint8_t Croam::cullValue(const Diamond* d) const {
    // Inherited from the first ancestor, whose sphere contains d's.
    int v = d->ancestor[0]->cull;
    if (v == cullInsideAll || v == cullOutside) return static_cast<uint8_t>(v);
    const float(*plane)[4] = getCamera()->frustum;
    float wx = d->x * xScale, wy = d->y * yScale, wz = d->z * zScale;
    for (int j = 0; j < 6; ++j) {
        if (v & (1 << j)) continue;
        float r = plane[j][0] * wx + plane[j][1] * wy + plane[j][2] * wz + plane[j][3];
        if (r * r > d->radiusSq) {
            // Later planes are still examined once outside; any value with
            // bit 64 counts as outside.
            if (r < 0.0f) v = cullOutside;
            else v |= 1 << j;
        }
    }
    return static_cast<uint8_t>(v);
}

void Croam::updateCull(Diamond* d) {
    uint8_t v = cullValue(d);
    if ((d->cull ^ v) & cullOutside) {
        bool outside = v & cullOutside;
        for (int s = 0; s < 2; ++s) {
            if (!(d->flags & (diamondWant0 << s))) continue;
            if (outside) {
                removeTriangle(d, s);
                ++hiddenTriangles;
            } else {
                --hiddenTriangles;
                addTriangle(d, s);
            }
        }
    }
    d->cull = v;
}

void Croam::cullRecurse(Diamond* d) {
    if (d->flags & diamondFixed) return;
    uint8_t old = d->cull;
    updateCull(d);
    if (d->cull == old && (old == cullInsideAll || old == cullOutside)) return;
    if ((old ^ d->cull) & cullOutside) updatePriority(d);
    if (!(d->flags & diamondSplit)) return;
    // Visit the diamonds whose first ancestor is d: the grandkids on d's side.
    for (int i = 0; i < 4; i += 2) {
        Diamond* k = d->kid[i];
        if (!k) continue;
        int first = k->parent[0] == d ? 0 : 2;
        for (int g = first; g < first + 2; ++g)
            if (k->kid[g]) cullRecurse(k->kid[g]);
    }
}

int Croam::fastLog(float value) const {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits + logTable[(bits >> 15) & 255];
}

void Croam::updatePriority(Diamond* d) {
    if (d->frameStamp == frame) return;
    d->frameStamp = static_cast<uint8_t>(frame);
    int p = 0;
    const bool byTolerance = pixelTolerance > 0.0f && pixelsPerUnit > 0.0f;
    if (!(d->flags & diamondFixed) && d->level < (byTolerance ? gridLevels : levels)) {
        float eyeX, eyeY, eyeZ;
        getCameraPositionXYZ(eyeX, eyeY, eyeZ);
        float dx = d->x * xScale - eyeX;
        float dy = d->y * yScale - eyeY;
        float dz = d->z * zScale - eyeZ;
        float distanceSq = dx * dx + dy * dy + dz * dz;
        if (!byTolerance) {
            float q = 200.0f * distanceSq;
            // 128 buckets per doubling of error / (200 * distance^2), offset by 32 doublings.
            int64_t v = static_cast<int64_t>(fastLog(d->error)) - fastLog(q) + (int64_t{1} << 28);
            if (v < 0) v = 0;
            p = static_cast<int>(v >> 16) + 1;
        } else if (d->heightError > 0.0f) {
            // The error seen from the nearest point of the diamond's sphere,
            // in pixels, over the tolerance: 128 buckets per doubling, the
            // split threshold where the two are equal.
            float nearest = std::sqrt(distanceSq) - std::sqrt(d->radiusSq);
            if (nearest <= 1e-4f) {
                p = roamBucketCount - 1;
            } else {
                int64_t v = static_cast<int64_t>(fastLog(d->heightError * pixelsPerUnit)) -
                            fastLog(nearest * pixelTolerance);
                p = static_cast<int>(splitThreshold + (v >> 16));
                if (p < 1) p = 1;
            }
        }
        if (p >= roamBucketCount) p = roamBucketCount - 1;
        if (d->cull & cullOutside) p = p > size ? p - size / 2 : (p + 1) >> 1;
    }
    setQueue(d, queueOf(d), p);
}

RoamQueue Croam::queueOf(const Diamond* d) const {
    if (d->flags & diamondInSplitQueue) return roamQueueSplit;
    if (d->flags & diamondInMergeQueue) return roamQueueMerge;
    return roamQueueNone;
}

void Croam::setQueue(Diamond* d, RoamQueue queue, int p) {
    assert((queue == roamQueueNone || (p >= 0 && p < roamBucketCount)) &&
           "setQueue: a queued diamond needs a priority 0-4095; compute it with updatePriority first");
    if (queue != roamQueueNone) p = p < 0 ? 0 : (p >= roamBucketCount ? roamBucketCount - 1 : p);
    RoamQueue current = queueOf(d);
    if (current == queue && d->priority == p) return;
    int lockChange = current != roamQueueNone ? -1 : 0;
    if (queue != roamQueueNone) lockChange = current == roamQueueNone ? 1 : 0;

    if (current != roamQueueNone) {
        Diamond** buckets = current == roamQueueSplit ? splitBuckets : mergeBuckets;
        int b = d->priority;
        if (d->prev) d->prev->next = d->next;
        else buckets[b] = d->next;
        if (d->next) d->next->prev = d->prev;
        d->prev = d->next = nullptr;
        if (!buckets[b]) {
            if (current == roamQueueSplit && b == splitMax) {
                while (splitMax >= 0 && !splitBuckets[splitMax]) --splitMax;
            } else if (current == roamQueueMerge && b == mergeMin) {
                while (mergeMin < roamBucketCount && !mergeBuckets[mergeMin]) ++mergeMin;
            }
        }
        d->flags &= static_cast<uint8_t>(~(diamondInSplitQueue | diamondInMergeQueue));
    }

    d->priority = static_cast<uint16_t>(p);

    if (queue != roamQueueNone) {
        Diamond** buckets = queue == roamQueueSplit ? splitBuckets : mergeBuckets;
        d->prev = nullptr;
        d->next = buckets[p];
        if (d->next) d->next->prev = d;
        buckets[p] = d;
        if (queue == roamQueueSplit) {
            if (p > splitMax) splitMax = p;
            d->flags |= diamondInSplitQueue;
        } else {
            if (p < mergeMin) mergeMin = p;
            d->flags |= diamondInMergeQueue;
        }
    }

    if (lockChange > 0) lockDiamond(d);
    else if (lockChange < 0) unlockDiamond(d);
}

bool Croam::overBudget() const {
    // Hidden wanted sides count as used slots: they come back with the view.
    return triangleCount > maxTriangles || splitMax < splitThreshold || freeDiamonds <= reserveDiamonds ||
           freeTriangles - hiddenTriangles <= reserveTriangles;
}

void Croam::optimise() {
    if (!pool) return;

    // 1. Bring the view state up to date, from the root down.
    Diamond* top = root();
    cullRecurse(top);
    for (Diamond* k : top->kid)
        if (k) cullRecurse(k);

    // 2. Refresh a tenth of the queued priorities.
    int last = refreshCursor + (poolSize + 9) / 10;
    if (last > poolSize - 1) last = poolSize - 1;
    for (int n = refreshCursor; n <= last; ++n)
        if (pool[n].flags & (diamondInSplitQueue | diamondInMergeQueue)) updatePriority(&pool[n]);
    refreshCursor = (last + 1) % poolSize;

    // 3-4. Split the most important diamonds while the budgets allow it,
    // merge the least important while they do not, then trade the cheapest
    // merge for the best split while that gains at least two buckets.
    enum { modeSplit, modeMerge, modeIdle } mode = overBudget() ? modeMerge : modeSplit;
    int best = splitMax - mergeMin;
    for (int count = 0; (mode != modeIdle || best >= 2) && count < maxOperationsPerFrame; ++count) {
        if (mode == modeSplit || mode == modeIdle) {
            if (splitMax > 0) {
                split(splitBuckets[splitMax]);
                if (overBudget()) mode = modeMerge;
            } else {
                mode = modeIdle;
            }
        } else {
            if (mergeMin >= roamBucketCount) {
                mode = modeIdle;
            } else {
                merge(mergeBuckets[mergeMin]);
                if (!overBudget()) mode = modeIdle;
            }
        }
        int gap = splitMax - mergeMin;
        if (gap < best) best = gap;
    }

    // 5. Next frame.
    frame = (frame + 1) % 256;

#ifndef NDEBUG
    if (debugChecks) {
        std::string broken = checkRoamInvariants(*this);
        if (!broken.empty()) {
            outputError(("Croam: mesh invariant broken after optimise (fix the operation that changed it): " +
                         broken + "\n")
                            .c_str());
            std::abort();
        }
    }
#endif
}
