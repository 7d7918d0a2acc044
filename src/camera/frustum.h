// frustum.h -- the view frustum and the box tests against it.
//
// Provides: frustumCulling, extractFrustum, boxInFrustum, rotatedBoxInFrustum.
// Planes (a, b, c, d) are stored in camera->frustum in the order right, left,
// bottom, top, far, near, each normalised so (a, b, c) has length 1; the ROAM
// terrain keeps one cull bit per plane in this order. A point is inside a
// plane when a*x + b*y + c*z + d > 0; exactly on a plane counts as outside.
// A box is rejected only when all eight corners lie outside one and the same
// plane, so a box near a frustum edge may still be reported visible.
// Main thread only (the frame driver extracts, terrain and plants test).
#pragma once

// Screen pixels covered by one world unit seen face-on at distance 1, for
// the projection and viewport current at the last extractFrustum: a length
// L at eye distance d spans about L * frustumPixelsPerUnit / d pixels
// vertically. 0 before the first extraction. Terrain error tolerances in
// pixels are turned into world units with it.
extern float frustumPixelsPerUnit;

// Plants are tested only while it is 1; terrain tests ignore it. Initially 1;
// toggled on the main thread by a menu item and a key.
extern int frustumCulling;

// Reads the current projection and modelview matrices into the camera's
// planes, and the viewport into frustumPixelsPerUnit (needs a current GL
// context).
void extractFrustum();

// True when the box (centre, half extents) may be visible. Corners are taken
// in the order (-,-,-), (+,-,-), (-,+,-), (+,+,-), (-,-,+), (+,-,+), (-,+,+),
// (+,+,+) of the signs of the half extents.
bool boxInFrustum(float x, float y, float z, float hx, float hy, float hz);
// As boxInFrustum with the box turned by angle degrees about the vertical
// axis through its centre (as rotateAboutY turns a point).
bool rotatedBoxInFrustum(float x, float y, float z, float hx, float hy, float hz, float angle);
