// frustum.cpp -- view frustum extraction and box tests; see frustum.h.
//
// Plane order right, left, bottom, top, far, near is shared with the ROAM
// terrain's cull bits. The tests allocate nothing, stop at the first corner
// inside each plane and at the first plane with every corner outside.
#include "camera/frustum.h"

#include <GL/gl.h>

#include "camera/camera.h"
#include "math/vector.h"

int frustumCulling = 1;

namespace {
// Signs of the half extents for the eight corners, in test order.
constexpr float cornerSigns[8][3] = {
    {-1, -1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, -1},
    {-1, -1, 1},  {1, -1, 1},  {-1, 1, 1},  {1, 1, 1},
};

// Corners given as offsets from the centre.
bool cornersInFrustum(float x, float y, float z, const float offsets[8][3]) {
    const float (*planes)[4] = getCamera()->frustum;
    for (int p = 0; p < 6; ++p) {
        const float* plane = planes[p];
        bool passed = false;
        for (int k = 0; k < 8; ++k) {
            float cx = x + offsets[k][0];
            float cy = y + offsets[k][1];
            float cz = z + offsets[k][2];
            if (plane[0] * cx + plane[1] * cy + plane[2] * cz + plane[3] > 0.0f) {
                passed = true;
                break;
            }
        }
        if (!passed) return false;
    }
    return true;
}
}  // namespace

float frustumPixelsPerUnit = 0.0f;

void extractFrustum() {
    Cmatrix4 projection, modelview;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.m);
    // projection.m[5] is cot(fov / 2): half the viewport height in pixels
    // spans that many units at distance 1.
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    frustumPixelsPerUnit = projection.m[5] * 0.5f * static_cast<float>(viewport[3]);
    Cmatrix4 clip = multiplyMatrix(projection, modelview);
    const float* m = clip.m;

    // Row k of the clip matrix is (m[k], m[4 + k], m[8 + k], m[12 + k]).
    // Plane = row 3 + sign * row of axis.
    static const int axis[6] = {0, 0, 1, 1, 2, 2};
    static const float sign[6] = {-1, 1, 1, -1, -1, 1};
    float (*planes)[4] = getCamera()->frustum;
    for (int p = 0; p < 6; ++p) {
        int r = axis[p];
        float a = m[3] + sign[p] * m[r];
        float b = m[7] + sign[p] * m[4 + r];
        float c = m[11] + sign[p] * m[8 + r];
        float d = m[15] + sign[p] * m[12 + r];
        float n = squareRoot(a * a + b * b + c * c);
        // A degenerate matrix (no projection set yet) leaves the plane
        // unnormalised rather than dividing by zero.
        if (n > 0.0f) {
            a /= n;
            b /= n;
            c /= n;
            d /= n;
        }
        planes[p][0] = a;
        planes[p][1] = b;
        planes[p][2] = c;
        planes[p][3] = d;
    }
}

bool boxInFrustum(float x, float y, float z, float hx, float hy, float hz) {
    float offsets[8][3];
    for (int k = 0; k < 8; ++k) {
        offsets[k][0] = cornerSigns[k][0] * hx;
        offsets[k][1] = cornerSigns[k][1] * hy;
        offsets[k][2] = cornerSigns[k][2] * hz;
    }
    return cornersInFrustum(x, y, z, offsets);
}

bool rotatedBoxInFrustum(float x, float y, float z, float hx, float hy, float hz, float angle) {
    // rotateAboutY turns (1, 0, 0) into (cos, 0, -sin); with those two
    // values every corner offset turns exactly as rotateAboutY would turn it,
    // without a cosine and sine per corner.
    float ux = 1.0f, uy = 0.0f, uz = 0.0f;
    rotateAboutY(angle, ux, uy, uz);
    float c = ux, s = -uz;
    float offsets[8][3];
    for (int k = 0; k < 8; ++k) {
        float ox = cornerSigns[k][0] * hx;
        float oz = cornerSigns[k][2] * hz;
        offsets[k][0] = ox * c + oz * s;
        offsets[k][1] = cornerSigns[k][1] * hy;
        offsets[k][2] = -ox * s + oz * c;
    }
    return cornersInFrustum(x, y, z, offsets);
}
