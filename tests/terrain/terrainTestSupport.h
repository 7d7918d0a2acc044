// terrainTestSupport.h -- shared fixtures of the terrain drawing tests.
//
// Provides: prepareTerrainGl (offscreen context with the frame's fixed state
// and the multitexture entry points), fillMap (synthetic height grids),
// makeTestTexture, setFrustumFromGl / setOpenFrustum (frustum planes without
// relying on the frustum extraction being in the build), captureFanVertices
// (GL feedback of the triangles a draw call emits, as grid points).
#pragma once

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "camera/camera.h"
#include "image/tga.h"
#include "support/glTestContext.h"
#include "terrain/heightmap.h"

constexpr int testViewSize = 256;

// Makes the offscreen context current with the fixed state a frame starts
// from (depth test less-or-equal, 2-D texturing on unit 0, smooth shading)
// and resolves the multitexture entry points the program gets from
// initMultitexture. False when there is no context.
inline bool prepareTerrainGl() {
    if (!makeTestGlContext(testViewSize, testViewSize)) return false;
    glActiveTextureARB_ = reinterpret_cast<ActiveTextureProc>(eglGetProcAddress("glActiveTextureARB"));
    glMultiTexCoord2fARB_ = reinterpret_cast<MultiTexCoord2fProc>(eglGetProcAddress("glMultiTexCoord2fARB"));
    glClientActiveTextureARB_ = reinterpret_cast<ActiveTextureProc>(eglGetProcAddress("glClientActiveTextureARB"));
    if (!glActiveTextureARB_ || !glMultiTexCoord2fARB_) return false;
    glViewport(0, 0, testViewSize, testViewSize);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glClearDepth(1.0);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glActiveTextureARB_(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTextureARB_(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return glGetError() == GL_NO_ERROR;
}

// Replaces the map's grid with size x size samples from sample(x, z), scaled
// as the scene scales its terrains (1, 0.25, 1).
inline void fillMap(Cheightmap& map, int size, const std::function<int(int x, int z)>& sample) {
    map.release();
    map.data = new uint8_t[static_cast<size_t>(size) * size];
    map.size = size;
    for (int z = 0; z < size; ++z)
        for (int x = 0; x < size; ++x) {
            int value = sample(x, z);
            map.data[x + z * size] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
        }
    map.setScale(1.0f, 0.25f, 1.0f);
}

// A small RGB texture from texel(x, y, rgb); repeating or edge-clamped,
// linear filtering without mipmaps.
inline GLuint makeTestTexture(int width, int height, bool repeat,
                              const std::function<void(int x, int y, uint8_t* rgb)>& texel) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) texel(x, y, &pixels[(static_cast<size_t>(y) * width + x) * 3]);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

// Frustum planes of the current projection and modelview matrices, in the
// camera's order (right, left, bottom, top, far, near), normalised. The
// frame driver extracts the same planes itself; tests that call a renderer
// directly set them here.
inline void setFrustumFromGl() {
    float p[16], v[16], m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    glGetFloatv(GL_MODELVIEW_MATRIX, v);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            m[4 * c + r] = 0.0f;
            for (int k = 0; k < 4; ++k) m[4 * c + r] += p[4 * k + r] * v[4 * c + k];
        }
    auto row = [&](int k, int i) { return m[4 * i + k]; };
    const int rows[6] = {0, 0, 1, 1, 2, 2};
    const float signs[6] = {-1, 1, 1, -1, -1, 1};
    float(*planes)[4] = getCamera()->frustum;
    for (int plane = 0; plane < 6; ++plane) {
        for (int i = 0; i < 4; ++i) planes[plane][i] = row(3, i) + signs[plane] * row(rows[plane], i);
        float n = std::sqrt(planes[plane][0] * planes[plane][0] + planes[plane][1] * planes[plane][1] +
                            planes[plane][2] * planes[plane][2]);
        for (int i = 0; i < 4; ++i) planes[plane][i] /= n;
    }
}

// Planes that every box passes: 0x + 0y + 0z + 1 > 0.
inline void setOpenFrustum() {
    for (auto& plane : getCamera()->frustum) {
        plane[0] = plane[1] = plane[2] = 0.0f;
        plane[3] = 1.0f;
    }
}

// A captured vertex: its grid point and unit 0's texture coordinates.
// Ordered and compared by the grid point alone.
struct GridPoint {
    int x, z;
    float s = 0.0f, t = 0.0f;
    bool operator<(const GridPoint& o) const { return x != o.x ? x < o.x : z < o.z; }
    bool operator==(const GridPoint& o) const { return x == o.x && z == o.z; }
};

// Draws with GL feedback under a top-down orthographic view of grid units
// 0-255 (face culling on, counter-clockwise front faces seen from above)
// and returns the vertices of every triangle that passed culling, three per
// triangle.
inline std::vector<GridPoint> captureFanVertices(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 22);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, testViewSize, -testViewSize, 0, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);  // (x, y, z) -> (x, -z, y): world z runs down the view
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    draw();
    glDisable(GL_CULL_FACE);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const GLint values = glRenderMode(GL_RENDER);
    std::vector<GridPoint> points;
    for (GLint i = 0; i < values;) {
        const GLfloat token = buffer[i++];
        if (token == GL_POLYGON_TOKEN) {
            const int count = static_cast<int>(buffer[i++]);
            // x, y, z, colour (4), texture coordinates (4) per vertex.
            for (int k = 0; k < count; ++k, i += 11)
                points.push_back({static_cast<int>(std::lround(buffer[i])),
                                  static_cast<int>(std::lround(testViewSize - buffer[i + 1])), buffer[i + 7],
                                  buffer[i + 8]});
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
        } else {
            break;  // points and lines are not expected here
        }
    }
    return points;
}
