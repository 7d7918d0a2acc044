// glTestContext.cpp -- EGL surfaceless pbuffer context; see glTestContext.h.
#include "support/glTestContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>

namespace {
EGLDisplay testDisplay = EGL_NO_DISPLAY;
EGLContext testContext = EGL_NO_CONTEXT;
EGLSurface testSurface = EGL_NO_SURFACE;
int testWidth = 0;
int testHeight = 0;
}  // namespace

bool makeTestGlContext(int width, int height) {
    if (testContext != EGL_NO_CONTEXT && width == testWidth && height == testHeight) {
        return eglMakeCurrent(testDisplay, testSurface, testSurface, testContext) == EGL_TRUE;
    }
    if (testDisplay == EGL_NO_DISPLAY) {
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay)
            testDisplay = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (testDisplay == EGL_NO_DISPLAY) return false;
        if (!eglInitialize(testDisplay, nullptr, nullptr)) {
            testDisplay = EGL_NO_DISPLAY;
            return false;
        }
        eglBindAPI(EGL_OPENGL_API);
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                       EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                       EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(testDisplay, configAttributes, &config, 1, &count) || count < 1) return false;
    if (testSurface != EGL_NO_SURFACE) eglDestroySurface(testDisplay, testSurface);
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    testSurface = eglCreatePbufferSurface(testDisplay, config, surfaceAttributes);
    if (testSurface == EGL_NO_SURFACE) return false;
    if (testContext == EGL_NO_CONTEXT) {
        const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1,
                                            EGL_NONE};
        testContext = eglCreateContext(testDisplay, config, EGL_NO_CONTEXT, contextAttributes);
        if (testContext == EGL_NO_CONTEXT) return false;
    }
    testWidth = width;
    testHeight = height;
    return eglMakeCurrent(testDisplay, testSurface, testSurface, testContext) == EGL_TRUE;
}

const char* testGlRenderer() {
    const GLubyte* renderer = glGetString(GL_RENDERER);
    return renderer ? reinterpret_cast<const char*>(renderer) : "";
}
