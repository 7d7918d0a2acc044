// glContextTest.cpp -- the offscreen test context draws and reads back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>

#include "support/glTestContext.h"
#include "support/imageCompare.h"

TEST(GlTestContext, ClearsAndReadsBackWithMultitexture) {
    if (!makeTestGlContext(64, 32)) GTEST_SKIP() << "no offscreen OpenGL context";
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    ASSERT_NE(extensions, nullptr);
    EXPECT_NE(strstr(extensions, "GL_ARB_multitexture"), nullptr);
    glViewport(0, 0, 64, 32);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    TestImage image = readFrameBuffer(64, 32);
    EXPECT_EQ(image.rgb[0], 255);
    EXPECT_EQ(image.rgb[1], 0);
}
