// frustum.h -- the view frustum and the box tests against it.
//
// Provides: frustumCulling, extractFrustum, boxInFrustum, rotatedBoxInFrustum.
// Planes (a, b, c, d) are stored in the camera in the order right, left,
// bottom, top, far, near, normalised; the ROAM terrain keeps one cull bit per
// plane in this order. A point is inside a plane when a*x + b*y + c*z + d > 0;
// exactly on a plane counts as outside. Main thread only.
// (Placeholder until the camera lands: the interface below is fixed.)
#pragma once

extern int frustumCulling;  // default 1; plants are tested only while it is 1

// Reads the current projection and modelview matrices into the camera.
void extractFrustum();

// True when the box (centre, half extents) may be visible.
bool boxInFrustum(float x, float y, float z, float hx, float hy, float hz);
bool rotatedBoxInFrustum(float x, float y, float z, float hx, float hy, float hz, float angle);
