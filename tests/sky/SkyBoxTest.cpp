// SkyBoxTest.cpp -- the camera-centred sky box: its extent, the texture
// coordinates of every face, switching it off, the state it leaves, and a
// reference picture of the sky alone.
#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <vector>

#include "image/textureRegistry.h"
#include "sky/skyBox.h"
#include "support/glTestContext.h"
#include "support/imageCompare.h"

namespace {

constexpr int viewSize = 256;

bool prepareSkyGl() {
    if (!makeTestGlContext(viewSize, viewSize)) return false;
    glViewport(0, 0, viewSize, viewSize);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return true;
}

void setSceneSky() {
    createTextureRegistry();
    setSkyTextures("SKY 20 3.tga", "SKY 20 1.tga", "black.tga", "SKY 20 5.tga", "SKY 20 2.tga", "SKY 20 4.tga", 8000.0f,
                   8000.0f, 4000.0f, 800.0f);
}

struct SkyVertex {
    float x, y, z, s, t;
};

// Draws the sky box with GL feedback under an orthographic view of world
// coordinates -5000 to 5000 on every axis and returns the vertices of every
// triangle, three per triangle, in world coordinates.
std::vector<SkyVertex> captureSky(float cameraX, float cameraY, float cameraZ) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5000, 5000, -5000, 5000, -5000, 5000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    drawSkyBox(cameraX, cameraY, cameraZ);
    const GLint values = glRenderMode(GL_RENDER);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);

    // Window x, y run 0-256 and depth 0-1 for world -5000 to 5000 (z reversed).
    std::vector<SkyVertex> vertices;
    for (GLint i = 0; i < values;) {
        const GLfloat token = buffer[i++];
        if (token != GL_POLYGON_TOKEN) break;
        const int count = static_cast<int>(buffer[i++]);
        for (int k = 0; k < count; ++k, i += 11) {
            const GLfloat* v = &buffer[i];
            vertices.push_back({(v[0] / viewSize * 2.0f - 1.0f) * 5000.0f, (v[1] / viewSize * 2.0f - 1.0f) * 5000.0f,
                                -(v[2] * 2.0f - 1.0f) * 5000.0f, v[7], v[8]});
        }
    }
    return vertices;
}

}  // namespace

TEST(SkyBox, SpansItsSizesAroundTheCameraWithDepthBeforeWidth) {
    if (!prepareSkyGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    skyEnabled = 1;
    const struct {
        float camera[3];
        float depth, width, height, offset;
        float x0, x1, y0, y1, z0, z1;
    } cases[] = {
        // The scene's numbers: 4000 around the camera, 1200 below to 2800 above.
        {{100, 50, 200}, 8000, 8000, 4000, 800, -3900, 4100, -1150, 2850, -3800, 4200},
        // Depth (z) 6000 and width (x) 2000 in that argument order.
        {{0, 0, 0}, 6000, 2000, 1000, 100, -1000, 1000, -400, 600, -3000, 3000},
    };
    const float tolerance = 1.0f;  // world units; feedback maps 10000 units onto 256 pixels in floats
    for (const auto& c : cases) {
        setSkyTextures("a.tga", "b.tga", "c.tga", "d.tga", "e.tga", "f.tga", c.depth, c.width, c.height, c.offset);
        std::vector<SkyVertex> vertices = captureSky(c.camera[0], c.camera[1], c.camera[2]);
        ASSERT_FALSE(vertices.empty());
        float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
        for (const SkyVertex& v : vertices) {
            const float p[3] = {v.x, v.y, v.z};
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
        }
        EXPECT_NEAR(lo[0], c.x0, tolerance);
        EXPECT_NEAR(hi[0], c.x1, tolerance);
        EXPECT_NEAR(lo[1], c.y0, tolerance);
        EXPECT_NEAR(hi[1], c.y1, tolerance);
        EXPECT_NEAR(lo[2], c.z0, tolerance);
        EXPECT_NEAR(hi[2], c.z1, tolerance);
    }
}

TEST(SkyBox, EveryFaceCarriesItsTextureCorners) {
    if (!prepareSkyGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    skyEnabled = 1;
    setSkyTextures("a.tga", "b.tga", "c.tga", "d.tga", "e.tga", "f.tga", 4000, 4000, 4000, 0);
    // Box from -2000 to 2000 on each axis. Per face: the plane (axis, side)
    // and its four corners as (s, t, x side, y side, z side), side 0 = low.
    struct Corner {
        int s, t, x, y, z;
    };
    const struct {
        int axis, side;
        Corner corners[4];
    } faces[6] = {
        {2, 0, {{1, 0, 1, 0, 0}, {1, 1, 1, 1, 0}, {0, 1, 0, 1, 0}, {0, 0, 0, 0, 0}}},
        {2, 1, {{1, 0, 0, 0, 1}, {1, 1, 0, 1, 1}, {0, 1, 1, 1, 1}, {0, 0, 1, 0, 1}}},
        {1, 0, {{1, 0, 0, 0, 0}, {1, 1, 0, 0, 1}, {0, 1, 1, 0, 1}, {0, 0, 1, 0, 0}}},
        {1, 1, {{0, 1, 1, 1, 0}, {0, 0, 1, 1, 1}, {1, 0, 0, 1, 1}, {1, 1, 0, 1, 0}}},
        {0, 0, {{1, 1, 0, 1, 0}, {0, 1, 0, 1, 1}, {0, 0, 0, 0, 1}, {1, 0, 0, 0, 0}}},
        {0, 1, {{0, 0, 1, 0, 0}, {1, 0, 1, 0, 1}, {1, 1, 1, 1, 1}, {0, 1, 1, 1, 0}}},
    };
    std::vector<SkyVertex> vertices = captureSky(0, 0, 0);
    ASSERT_EQ(vertices.size(), 6u * 2u * 3u) << "six quads of two triangles";
    auto side = [](float value) { return value > 0 ? 1 : 0; };
    for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        std::set<std::array<int, 5>> expected, drawn;
        for (const Corner& c : faces[f].corners) expected.insert({c.s, c.t, c.x, c.y, c.z});
        for (size_t i = 0; i < vertices.size(); i += 3) {
            bool onFace = true;
            for (size_t k = i; k < i + 3; ++k) {
                const float p[3] = {vertices[k].x, vertices[k].y, vertices[k].z};
                onFace = onFace && side(p[faces[f].axis]) == faces[f].side;
            }
            if (!onFace) continue;
            for (size_t k = i; k < i + 3; ++k)
                drawn.insert({static_cast<int>(std::lround(vertices[k].s)),
                              static_cast<int>(std::lround(vertices[k].t)), side(vertices[k].x), side(vertices[k].y),
                              side(vertices[k].z)});
        }
        EXPECT_EQ(drawn, expected);
    }
}

TEST(SkyBox, SwitchedOffDrawsNothingAndCountsNothing) {
    if (!prepareSkyGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    setSceneSky();
    skyEnabled = 1;
    EXPECT_EQ(skyPolygonCount(), 6);
    skyEnabled = 0;
    EXPECT_EQ(skyPolygonCount(), 0);
    EXPECT_TRUE(captureSky(0, 0, 0).empty());
    skyEnabled = 1;
}

TEST(SkyBox, RestoresTheStateItChangesAndLeavesWhite) {
    if (!prepareSkyGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    setSceneSky();
    skyEnabled = 1;
    GLuint before = 0;
    glGenTextures(1, &before);
    glBindTexture(GL_TEXTURE_2D, before);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.2f, 0.3f, 0.4f);
    drawSkyBox(0, 0, 0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(static_cast<GLuint>(bound), before);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 1.0f);
    EXPECT_FLOAT_EQ(colour[2], 1.0f);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SkyBox, SkyOnlyMatchesReference) {
    if (!prepareSkyGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    setSceneSky();
    skyEnabled = 1;
    // Each face a colour of its own, brighter towards s = 1 (red) and t = 1
    // (green), with a white mark at its (s, t) = (0, 0) corner, so a turned
    // or mirrored face shows.
    const uint8_t hue[6][3] = {{200, 60, 60}, {60, 200, 60},  {30, 30, 30},
                               {60, 60, 220}, {200, 200, 60}, {60, 200, 200}};
    for (int face = 0; face < 6; ++face) {
        uint8_t pixels[16 * 16 * 3];
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                uint8_t* rgb = &pixels[(y * 16 + x) * 3];
                const bool mark = x < 3 && y < 3;
                rgb[0] = mark ? 255 : static_cast<uint8_t>(hue[face][0] * (8 + x) / 23);
                rgb[1] = mark ? 255 : static_cast<uint8_t>(hue[face][1] * (8 + y) / 23);
                rgb[2] = mark ? 255 : hue[face][2];
            }
        glBindTexture(GL_TEXTURE_2D, skyBox.faceTexture[face]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 16, 16, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    glBindTexture(GL_TEXTURE_2D, 0);

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // Four views from the camera at (100, 50, 200): two opposite corners of
    // the box (every face), then north (-z) and east (+x) at the horizon.
    const float look[4][3] = {{1, 0.8f, -1}, {-1, -0.8f, 1}, {0, 0, -1}, {1, 0, 0}};
    const int at[4][2] = {{0, 128}, {128, 128}, {0, 0}, {128, 0}};
    for (int v = 0; v < 4; ++v) {
        glViewport(at[v][0], at[v][1], 128, 128);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(100.0, 1.0, 1.0, 10000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(100, 50, 200, 100 + look[v][0], 50 + look[v][1], 200 + look[v][2], 0, 1, 0);
        drawSkyBox(100, 50, 200);
    }
    glViewport(0, 0, viewSize, viewSize);
    glFinish();
    // A pixel differs when a channel is more than 16 away; at most 1% may.
    expectMatchesReference("sky-only", readFrameBuffer(viewSize, viewSize), 16, 0.01);
}
