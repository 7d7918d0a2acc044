// FrameGraphTest.cpp -- the frame-time graph: the frames it keeps and their
// median, and drawing it with its labelled lines over a view without
// leaving any GL state changed.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/frameGraph.h"
#include "app/window.h"
#include "support/glTestContext.h"

TEST(FrameGraph, KeepsTheLastFramesOldestFirstWithTheirMedian) {
    EXPECT_TRUE(frameGraphHistory().empty());
    EXPECT_EQ(frameGraphMedian(), 0.0f);
    recordFrameTime(30.0);
    recordFrameTime(10.0);
    recordFrameTime(20.0);
    EXPECT_EQ(frameGraphHistory(), (std::vector<float>{30.0f, 10.0f, 20.0f}));
    EXPECT_EQ(frameGraphMedian(), 20.0f);
    recordFrameTime(40.0);
    EXPECT_EQ(frameGraphMedian(), 25.0f) << "even count: mean of the middle two";

    // Past its capacity the oldest frames go.
    for (int i = 1; i <= FRAME_GRAPH_FRAMES + 5; ++i) recordFrameTime(i);
    std::vector<float> history = frameGraphHistory();
    ASSERT_EQ(history.size(), size_t(FRAME_GRAPH_FRAMES));
    EXPECT_EQ(history.front(), 6.0f);
    EXPECT_EQ(history.back(), float(FRAME_GRAPH_FRAMES + 5));
    EXPECT_EQ(frameGraphMedian(), (6.0f + float(FRAME_GRAPH_FRAMES) + 5.0f) / 2.0f);
}

TEST(FrameGraph, DrawsInItsCornerAndRestoresTheGlState) {
    const int width = 320, height = 240;
    if (!makeTestGlContext(width, height)) GTEST_SKIP() << "no offscreen OpenGL context";
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, width, height);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The whole history (also when the case above ran first in this process).
    for (int i = 0; i < FRAME_GRAPH_FRAMES; ++i) recordFrameTime(10.0 + i % 5);

    // State as a frame leaves it: a perspective-like projection, a view
    // transform, texturing, depth test and face culling on.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, -3.0f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    GLfloat projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);

    drawFrameGraph();
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    GLfloat after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], projection[i]) << "projection " << i;
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], modelview[i]) << "modelview " << i;
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.25f);
    EXPECT_FLOAT_EQ(colour[2], 0.75f);

    // The panel darkens its rectangle and leaves the rest of the view alone.
    int x, y, w, h;
    frameGraphRect(width, height, x, y, w, h);
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 80);
    std::vector<unsigned char> pixels(size_t(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    auto red = [&](int px, int py) { return pixels[(size_t(py) * width + px) * 4]; };
    EXPECT_LT(red(x + 5, y + h - 5), 160) << "inside the panel";
    EXPECT_EQ(red(x + w + 5, y + 5), 255) << "right of the panel";
    EXPECT_EQ(red(x + 5, y + h + 5), 255) << "above the panel";

    // Frames of 10-14 ms: the scale reaches 33.3 ms, so the 16.7 ms line
    // runs through the middle, its label just above it at the left, and the
    // 33.3 ms line along the top with its label below it, each in its colour.
    auto labelPixels = [&](int x0, int x1, int lineY, int channel) {
        int count = 0;
        for (int py = lineY + 2; py <= lineY + 11 && py < height; ++py)
            for (int px = x0; px < x1; ++px) {
                const unsigned char* p = &pixels[(size_t(py) * width + px) * 4];
                count += p[channel] > 180 && p[2] < 120;
            }
        return count;
    };
    int sixty = y + h / 2, thirty = y + h - 1;
    EXPECT_GT(labelPixels(x + 4, x + 50, sixty, 1), 20) << "\"16.7 ms\" in green";
    EXPECT_GT(labelPixels(x + 4, x + 50, thirty - 13, 0), 20) << "\"33.3 ms\" in orange, below its line";
    EXPECT_EQ(frameGraphLabel(1000.0f / 60.0f), "16.7");
    EXPECT_EQ(frameGraphLabel(1000.0f / 30.0f), "33.3");
}
