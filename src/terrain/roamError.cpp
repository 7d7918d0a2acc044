// roamError.cpp -- the shape of every ROAM diamond on the grid and its
// geometric error.
//
// Provides: roamShapeAt, Croam::buildErrorTable, Croam::tableError (declared
// in roam.h).
//
// On a map with size - 1 = N = 2^n every grid point except the four map
// corners is the centre of exactly one diamond of the hierarchy. With m the
// largest power of two dividing both x and z (0 counts as divisible by all):
// - x / m and z / m both odd: an even level, 2 log2(N / m) - 2. The diamond
//   is the axis-aligned square (x +- m, z +- m), cut along one diagonal (the
//   base edge);
// - exactly one of them odd: an odd level, 2 log2(N / m) - 1. The diamond is
//   the square turned 45 degrees with corners (x +- m, z) and (x, z +- m);
//   its base edge runs along the axis whose coordinate / m is odd.
// The kids of a diamond are centred on the midpoints of its four outer
// edges.
//
// The error of a diamond is the largest vertical distance between its two
// triangles and the grid samples under them (samples off the map do not
// count), raised to the largest error of its kids, so a diamond's error is
// never below any descendant's and the errors nest. The table is built once
// by setupRoam, finest level first; it costs one pass over the grid per
// level (about 20 million sample look-ups on the 1025 map).
#include <algorithm>
#include <cmath>
#include <new>

#include "terrain/roam.h"

namespace {

// Height of the plane through three grid points at (u, v).
struct Plane {
    double a, b, c;  // height = a + b * u + c * v
};

Plane planeThrough(const Croam& roam, const int p[3][2]) {
    double h[3];
    for (int i = 0; i < 3; ++i) h[i] = roam.sample(p[i][0], p[i][1]);
    double x1 = p[1][0] - p[0][0], z1 = p[1][1] - p[0][1];
    double x2 = p[2][0] - p[0][0], z2 = p[2][1] - p[0][1];
    double d1 = h[1] - h[0], d2 = h[2] - h[0];
    double det = x1 * z2 - x2 * z1;
    double b = (d1 * z2 - d2 * z1) / det;
    double c = (x1 * d2 - x2 * d1) / det;
    return {h[0] - b * p[0][0] - c * p[0][1], b, c};
}

bool onMap(int n, int x, int z) { return x >= 0 && z >= 0 && x <= n && z <= n; }

}  // namespace

RoamShape roamShapeAt(int size, int x, int z) {
    RoamShape shape{};
    const int n = size - 1;
    int m = n;
    while (m > 1 && ((x % m) != 0 || (z % m) != 0)) m >>= 1;
    if (m == n) {  // a map corner (or the whole map for size 2)
        shape.level = -1;
        return shape;
    }
    int levelStep = 0;  // log2(n / m)
    for (int v = n / m; v > 1; v >>= 1) ++levelStep;
    bool xOdd = (x / m) & 1, zOdd = (z / m) & 1;
    auto set = [](int (&p)[2], int px, int pz) { p[0] = px, p[1] = pz; };
    if (xOdd && zOdd) {
        shape.level = 2 * levelStep - 2;
        // The base edge is the main diagonal when (x / m + z / m) / 2 is odd.
        if (((x / m + z / m) / 2) & 1) {
            set(shape.ancestor[0], x - m, z - m), set(shape.ancestor[1], x + m, z + m);
            set(shape.parent[0], x + m, z - m), set(shape.parent[1], x - m, z + m);
        } else {
            set(shape.ancestor[0], x + m, z - m), set(shape.ancestor[1], x - m, z + m);
            set(shape.parent[0], x - m, z - m), set(shape.parent[1], x + m, z + m);
        }
    } else {
        shape.level = 2 * levelStep - 1;
        if (xOdd) {
            set(shape.ancestor[0], x - m, z), set(shape.ancestor[1], x + m, z);
            set(shape.parent[0], x, z - m), set(shape.parent[1], x, z + m);
        } else {
            set(shape.ancestor[0], x, z - m), set(shape.ancestor[1], x, z + m);
            set(shape.parent[0], x - m, z), set(shape.parent[1], x + m, z);
        }
    }
    return shape;
}

bool Croam::buildErrorTable() {
    const int n = size - 1;
    delete[] errorTable;
    errorTable = new (std::nothrow) float[static_cast<size_t>(size) * size];
    if (!errorTable) return false;
    std::fill(errorTable, errorTable + static_cast<size_t>(size) * size, 0.0f);
    gridLevels = 0;
    for (int v = n; v > 1; v >>= 1) gridLevels += 2;

    auto at = [this](int x, int z) -> float& { return errorTable[static_cast<size_t>(z) * size + x]; };
    // The largest distance between the plane of triangle (a0, a1, apex) and
    // the samples of the region the caller walks.
    auto localError = [&](const RoamShape& s, int x, int z, int m, bool turned) {
        // A diamond on the map edge has one apex off the map; only its base
        // edge (on the edge of the map) lies on that side.
        Plane planes[2];
        bool valid[2];
        for (int side = 0; side < 2; ++side) {
            const int corners[3][2] = {{s.ancestor[0][0], s.ancestor[0][1]},
                                       {s.ancestor[1][0], s.ancestor[1][1]},
                                       {s.parent[side][0], s.parent[side][1]}};
            valid[side] = onMap(n, s.parent[side][0], s.parent[side][1]);
            if (valid[side]) planes[side] = planeThrough(*this, corners);
        }
        // Which side of the base edge a point lies on: the sign of the cross
        // product of the base edge direction and the offset from the centre,
        // compared with that of apex 0.
        const int ex = s.ancestor[1][0] - s.ancestor[0][0], ez = s.ancestor[1][1] - s.ancestor[0][1];
        const int apex0 = ex * (s.parent[0][1] - z) - ez * (s.parent[0][0] - x);
        double worst = 0.0;
        for (int v = std::max(z - m, 0); v <= std::min(z + m, n); ++v) {
            int reach = turned ? m - std::abs(v - z) : m;
            for (int u = std::max(x - reach, 0); u <= std::min(x + reach, n); ++u) {
                int cross = ex * (v - z) - ez * (u - x);
                int side = cross == 0 ? (valid[0] ? 0 : 1) : ((cross > 0) == (apex0 > 0) ? 0 : 1);
                if (!valid[side]) continue;
                const Plane& p = planes[side];
                double difference = std::fabs(sample(u, v) - (p.a + p.b * u + p.c * v));
                worst = std::max(worst, difference);
            }
        }
        return worst;
    };

    // Finest diamonds first: for each m the odd level (turned squares of
    // half-diagonal m), then the even level (squares of half-side m), whose
    // kids are those odd-level diamonds.
    for (int m = 1; m < n; m <<= 1) {
        for (int pass = 0; pass < 2; ++pass) {
            bool turned = pass == 0;
            for (int z = 0; z <= n; z += m)
                for (int x = 0; x <= n; x += m) {
                    bool xOdd = (x / m) & 1, zOdd = (z / m) & 1;
                    if (turned ? (xOdd == zOdd) : !(xOdd && zOdd)) continue;
                    RoamShape s = roamShapeAt(size, x, z);
                    double e = localError(s, x, z, m, turned);
                    // Kids: the midpoints of the four outer edges.
                    for (int side = 0; side < 2; ++side)
                        for (int end = 0; end < 2; ++end) {
                            int kx = (s.parent[side][0] + s.ancestor[end][0]) / 2;
                            int kz = (s.parent[side][1] + s.ancestor[end][1]) / 2;
                            bool exact = ((s.parent[side][0] + s.ancestor[end][0]) % 2 == 0) &&
                                         ((s.parent[side][1] + s.ancestor[end][1]) % 2 == 0);
                            if (exact && onMap(n, kx, kz)) e = std::max(e, static_cast<double>(at(kx, kz)));
                        }
                    at(x, z) = static_cast<float>(e);
                }
        }
    }
    return true;
}

float Croam::tableError(float x, float z) const {
    if (!errorTable) return 0.0f;
    int gx = static_cast<int>(x), gz = static_cast<int>(z);
    if (gx < 0 || gz < 0 || gx >= size || gz >= size || gx != x || gz != z) return 0.0f;
    return errorTable[static_cast<size_t>(gz) * size + gx] * yScale;
}
