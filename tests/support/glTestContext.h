// glTestContext.h -- an offscreen OpenGL compatibility context for tests.
//
// Provides: makeTestGlContext. Uses EGL on Mesa's surfaceless platform with a
// pbuffer, so tests need no display and no window. The context stays current
// on the calling thread for the rest of the test program.
#pragma once

// Creates (once) and makes current a compatibility-profile context with an
// RGBA8 + depth 24 pbuffer of the given size. Returns false (and the test
// should GTEST_SKIP) when no such context can be made.
bool makeTestGlContext(int width = 256, int height = 256);

// The GL_RENDERER string of the test context ("" when there is none).
const char* testGlRenderer();
