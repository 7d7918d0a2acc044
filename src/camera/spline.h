// spline.h -- camera splines: smooth curves through key points for scripted
// camera tours.
//
// Provides: Cspline, splineSlotCount, loadKeyPoints, buildSpline,
// evaluateSpline, loadSplineSlot, interpolateSplineSlot, resetSplineTable.
// A key point file is white-space separated decimal numbers, three per key
// point (x, y, z); one or two trailing numbers are ignored, a token that is
// not a number reads as 0, a token longer than 255 characters is cut to its
// first 255. The curve is a cubic Hermite spline, one segment per key point,
// with Kochanek-Bartels tangents (tension, bias, continuity; scripts use 0
// for all three, which gives Catmull-Rom tangents with the ends repeated).
// Splines are numbered by their slot in a table of 1000, in loading order.
// Main thread only (scripts). Splines are never released.
#pragma once

constexpr int splineSlotCount = 1000;

class Cspline {
public:
    // Per axis, keyCount segments of four power-form coefficients
    // (a0, a1, a2, a3): segment i is a0 + a1 f + a2 f^2 + a3 f^3, f in [0, 1],
    // starting at key point i; the last segment starts and ends at the last
    // key point.
    float* xCoefficients = nullptr;
    float* yCoefficients = nullptr;
    float* zCoefficients = nullptr;
    int keyCount = 0;       // key points, which is also the number of segments
    float duration = 0.0f;  // time at which the curve has run its full length
};

// Reads a key point file: returns a new[] array of 3 * count floats (x, y, z
// per key point; the caller delete[]s it) and sets count, or returns null when
// the file cannot be opened or memory runs out. A file of fewer than three
// numbers gives count 0 and an empty (non-null) array.
float* loadKeyPoints(const char* fileName, int& count);

// Builds the spline through count key points (null when memory runs out).
// The last segment's end tangent is 0: the curve comes to rest on the last
// key point.
Cspline* buildSpline(const float* points, int count, float duration, float tension, float bias,
                     float continuity);

// The point of the spline at time t: key point k at t = k * duration / count,
// the last key point from t = duration on. Defined for every input:
// no spline or no key points give the origin; t below 0 (or NaN) counts as 0;
// a duration of 0 or less (or NaN) gives the last key point at once.
void evaluateSpline(const Cspline* spline, float t, float& x, float& y, float& z);

// Loads a file into the next free slot with tension, bias and continuity 0
// and returns the slot index. A file that cannot be read still takes its slot
// (left empty) and prints a diagnostic. When all 1000 slots are taken nothing
// is loaded, a diagnostic is printed and -1 is returned.
int loadSplineSlot(const char* fileName, int duration);

// evaluateSpline on the spline in the slot; an index outside the table or a
// slot without a spline gives the origin.
void interpolateSplineSlot(int index, float t, float& x, float& y, float& z);

// Empties the table (releasing its splines). For test programs: the viewer
// itself never releases a spline.
void resetSplineTable();
