// FrameDrawingTest.cpp -- the reference grid and the projection, drawn in
// the offscreen test context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/mainLoop.h"
#include "app/window.h"
#include "support/glTestContext.h"
#include "support/imageCompare.h"

namespace {

struct LineCounts {
    int blue = 0, red = 0, green = 0, white = 0, other = 0;
};

// Draws the grid in feedback mode, seen from above with everything inside
// the view volume, and sorts the line segments by colour.
LineCounts countGridLines() {
    std::vector<GLfloat> buffer(64 * 1024);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-150, 150, -150, 150, -150, 150);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    drawReferenceGrid();
    GLint size = glRenderMode(GL_RENDER);
    LineCounts counts;
    // GL_3D_COLOR: x, y, z, then r, g, b, a per vertex.
    const int vertexSize = 7;
    for (GLint i = 0; i < size;) {
        GLfloat token = buffer[i++];
        if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            const GLfloat* v = &buffer[i];
            float r = v[3], g = v[4], b = v[5];
            if (r < 0.1f && g < 0.1f && b > 0.9f) ++counts.blue;
            else if (r > 0.9f && g < 0.1f && b < 0.1f) ++counts.red;
            else if (r < 0.1f && g > 0.9f && b < 0.1f) ++counts.green;
            else if (r > 0.9f && g > 0.9f && b > 0.9f) ++counts.white;
            else ++counts.other;
            i += 2 * vertexSize;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            i += vertexSize;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return counts;
}

}  // namespace

TEST(ReferenceGrid, Draws400BlueLinesAndThreeAxes) {
    if (!makeTestGlContext(64, 64)) GTEST_SKIP() << "no offscreen OpenGL context";
    glEnable(GL_TEXTURE_2D);
    LineCounts counts = countGridLines();
    EXPECT_EQ(counts.blue, 400);
    EXPECT_EQ(counts.red, 1);
    EXPECT_EQ(counts.green, 1);
    EXPECT_EQ(counts.white, 1);
    EXPECT_EQ(counts.other, 0);
    // Leaves white as the colour and texturing as it found it.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[2], 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST(ReferenceGrid, PictureFromAbove) {
    if (!makeTestGlContext(128, 128)) GTEST_SKIP() << "no offscreen OpenGL context";
    glViewport(0, 0, 128, 128);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-12, 12, -12, 12, -200, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);  // look straight down onto the x-z plane
    drawReferenceGrid();
    glFinish();
    // Lines one pixel wide: a small tolerance for rasteriser differences.
    expectMatchesReference("referenceGridFromAbove", readFrameBuffer(128, 128), 8, 0.01);
}

TEST(Projection, ZeroHeightCountsAsOneAndFieldOfViewIs45Degrees) {
    if (!makeTestGlContext(64, 64)) GTEST_SKIP() << "no offscreen OpenGL context";
    nearClip = 1.0f;
    farClip = 10000.0f;
    resizeView(640, 0);
    EXPECT_EQ(viewportWidth, 640);
    EXPECT_EQ(viewportHeight, 1);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);

    resizeView(800, 600);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const float focal = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);
    EXPECT_NEAR(projection[5], focal, 1e-4) << "vertical field of view 45 degrees";
    EXPECT_NEAR(projection[0], focal * 600.0f / 800.0f, 1e-4) << "aspect 800/600";
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}
