// window.cpp -- the main window, its rendering context and the projection;
// see window.h. Main thread only.
#include "app/window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/platform.h"
#include "util/output.h"

int screenWidth = 800;
int screenHeight = 600;
bool fullScreen = true;
float nearClip = 1.0f;
float farClip = 10000.0f;
int viewportWidth = 800;
int viewportHeight = 600;
int backgroundColour[3] = {0, 0, 0};

namespace {
bool windowCreated = false;

// Largest drawing area a window is opened with: far beyond any screen, yet
// small enough for the window system and the frame buffers to hold.
const int largestDrawingArea = 8192;

int limitedSide(int side) {
    if (side < 1) return 1;
    return side > largestDrawingArea ? largestDrawingArea : side;
}
}  // namespace

bool mainWindowExists() { return windowCreated; }

bool createMainWindow(const char* title, int width, int height, bool fullScreenWindow, MainWindowProcedure procedure) {
    if (fullScreenWindow) setDisplayMode(width, height);
    if (limitedSide(width) != width || limitedSide(height) != height) {
        outputPrintf("Window size %d x %d cannot be used; the window opens at %d x %d\n", width, height,
                     limitedSide(width), limitedSide(height));
        width = limitedSide(width);
        height = limitedSide(height);
    }
    platformSetWindowProcedure(procedure);
    if (!platformCreateMainWindow(title, width, height, fullScreenWindow, mainWindowClassName)) return false;
    windowCreated = true;
    return true;
}

void setDisplayMode(int width, int height) {
    // The display keeps its resolution: the window covers the screen as it
    // is, so the screen only has to be at least as large as requested.
    int screenW = 0, screenH = 0;
    if (!platformScreenSize(screenW, screenH)) {
        platformMessageBox("Could Not Enum Display Settings", "Error", platformOk, false);
        return;
    }
    if (width > screenW || height > screenH) {
        platformMessageBox("Display Mode Not Compatible", "Error", platformOk, false);
        platformPostQuit(0);
    }
}

void initRendering(int width, int height) {
    if (!platformCreateGlContext()) {
        platformMessageBox("ChoosePixelFormat failed", "Error", platformOk, false);
        platformPostQuit(0);
    }
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glClearColor(backgroundColour[0] / 255.0f, backgroundColour[1] / 255.0f, backgroundColour[2] / 255.0f, 1.0f);
    resizeView(width, height);
}

void resizeView(int width, int height) {
    if (height == 0) height = 1;
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / height, nearClip, farClip);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setBackgroundColour(int red, int green, int blue) {
    backgroundColour[0] = red;
    backgroundColour[1] = green;
    backgroundColour[2] = blue;
    glClearColor(red / 255.0f, green / 255.0f, blue / 255.0f, 1.0f);
}

void destroyMainWindow() {
    platformReleaseGlContext();
    // No display mode was changed, so there is none to restore.
    if (fullScreen) platformShowCursor(true);
    platformHideMainWindow();
    platformPostQuit(0);
}

void centreWindow() { platformCentreMainWindow(); }

void centreCursor() {
    int x = 0, y = 0, width = 0, height = 0;
    platformGetWindowRect(x, y, width, height);
    platformSetCursorPos(x + width / 2, y + height / 2);
}

void quitApplication() {
    // No display mode was changed, so there is none to restore.
    platformShowCursor(true);
    platformPostQuit(0);
}
