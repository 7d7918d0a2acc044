// mainLoop.cpp -- the message loop and the frame driver; see mainLoop.h.
// Main thread only.
#include "app/mainLoop.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdio>

#include "app/frameGraph.h"
#include "app/frameTimes.h"
#include "app/measure.h"
#include "app/overlay.h"
#include "app/statusBar.h"
#include "app/window.h"
#include "camera/camera.h"
#include "camera/homeView.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "script/scriptStop.h"
#include "sky/skyBox.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainPopping.h"
#include "vegetation/plantSet.h"

int scenePolygons = 0;
int lastScenePolygons = 0;
long long framesDrawn = 0;
int gridEnabled = 0;

namespace {

using FrameClock = std::chrono::steady_clock;

struct ReferenceGrid {
    bool visible = true;
    bool axes = true;
    float height = 0.1f;
};
ReferenceGrid referenceGrid;

OverlayFacts overlayFacts() {
    OverlayFacts facts;
    facts.terrainAlgorithm = terrainAlgorithm;
    facts.tolerance = terrainErrorTolerance;
    facts.plantScheme = plantAlgorithm;
    facts.uniformTexturing = uniformTexturing != 0;
    facts.anonymous = anonymousMode != 0;
    facts.x = frameCameraX;
    facts.y = frameCameraY;
    facts.z = frameCameraZ;
    Ccamera* c = getCamera();
    facts.heading = c->horizontalAngle.load();
    facts.pitch = c->verticalAngle.load();
    facts.framesPerSecond = lastFramesPerSecond();
    facts.polygons = scenePolygons;
    return facts;
}

}  // namespace

int runMainLoop() {
    int quitCode = 0;
    // The start script hands over to the user: its view is the one "Reset
    // View" goes back to.
    fixHomeView();
    for (;;) {
        // No script runs while the viewer is at rest here: the stop key has
        // nothing to stop, and a stop signal (batch runs) ends the program.
        if (int stop = pendingScriptStop()) {
            if (stop > 0) platformExitProcess(128 + stop);
            discardScriptStop();
        }
        PlatformPoll poll = platformPollEvents(quitCode);
        if (poll == platformPollQuit) break;
        if (poll == platformPollIdle) renderFrame();
    }
    destroyMainWindow();
    return quitCode;
}

void renderScene() {
    int quitCode = 0;
    PlatformPoll poll = platformPollEvents(quitCode);
    if (poll == platformPollQuit) platformExitProcess(0);
    if (poll == platformPollIdle) renderFrame();
}

void renderFrame() {
    if (!platformHasGlContext()) return;
    platformMakeCurrent();

    // 1-2. Fresh polygon count; the camera as the movement thread left it.
    scenePolygons = 0;
    getCameraPositionXYZ(frameCameraX, frameCameraY, frameCameraZ);

    // 3. Clock calibration: the cost of reading the clock is measured every
    // frame and taken off the frame time.
    FrameClock::time_point start = FrameClock::now();
    FrameClock::time_point stop = FrameClock::now();
    FrameClock::duration overhead = stop - start;
    start = FrameClock::now();

    // 4-6. Clear, frame rate, view. The graphics timer brackets the scene.
    beginFrameGraphicsTimer(framesDrawn);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    updateFps();
    applyView();

    // 7-9. Sky, terrain and plants, then the grid over them: it lies at
    // height 0.1, under the ground almost everywhere.
    drawSkyBox(frameCameraX, frameCameraY, frameCameraZ);
    scenePolygons += skyPolygonCount();
    scenePolygons += renderTerrainFrame();
    if (gridEnabled) drawReferenceGrid();
    endFrameGraphicsTimer();
    // The renderers report their statistics; the title is written here.
    if (!anonymousMode && terrainReport.title[0] != '\0')
        setTitle(frameTitle(terrainReport.title, terrainAlgorithm, terrainErrorTolerance).c_str());

    // 10. Polygon count for the status bar's next update, and how far a
    // frame-time measurement has come (nothing before the first one).
    snprintf(statusText, sizeof statusText, "  Scene polygons: %d%s", scenePolygons, measurementStatus());

    // 11-12. A requested screenshot reads the back buffer before it is shown.
    // While hiding the bars for the shot is still resizing the window, the
    // drawing area briefly has another size: the shot waits for the window
    // (and the view's own size) to settle, at most 100 frames.
    static int shotWaits = 0;
    if (screenshotRequested) {
        int clientWidth = 0, clientHeight = 0;
        platformGetClientSize(clientWidth, clientHeight);
        bool settled = platformBarsSettled() && clientWidth == viewportWidth && clientHeight == viewportHeight;
        if (settled || ++shotWaits > 100) {
            shotWaits = 0;
            screenshotSequence();
        }
    }
    // The frame-time graph and the text layers go over the finished view:
    // after the shot was read, outside the polygon count, and outside the
    // frame time: the scene is finished first and the time from there to
    // the end of the overlay drawing is taken off the frame.
    FrameClock::duration overlayTime{0};
    if (frameGraphEnabled || viewOverlaysShown()) {
        glFinish();
        FrameClock::time_point overlayStart = FrameClock::now();
        if (frameGraphEnabled) drawFrameGraph();
        drawViewOverlays(overlayFacts(), viewportWidth, viewportHeight);
        glFinish();
        overlayTime = FrameClock::now() - overlayStart;
    } else {
        drawViewOverlays(overlayFacts(), viewportWidth, viewportHeight);  // nothing shown: clears its text
    }
    glFlush();
    platformSwapBuffers();

    // 13-15. Frame time, measurement, polygon count of the finished frame.
    stop = FrameClock::now();
    frameSeconds = std::chrono::duration<double>(stop - start - overhead - overlayTime).count();
    // With popping measured, the frame's terrain mesh is copied here, after
    // the frame time was taken.
    keepTerrainFrameMesh();
    measurementStep();
    recordFrameTime(frameSeconds * 1000.0);
    finishFrameTimes(framesDrawn, frameSeconds);
    lastScenePolygons = scenePolygons;
    framesDrawn += 1;
}

std::string frameTitle(const char* reported, int algorithm, float tolerance) {
    std::string title = reported;
    const TerrainAlgorithm* entry = findTerrainAlgorithm(algorithm);
    if (entry && entry->honoursTolerance() && tolerance > 0.0f) {
        char text[48];
        snprintf(text, sizeof text, "  tolerance %g px", tolerance);
        title += text;
    }
    return title;
}

void drawReferenceGrid() {
    if (!referenceGrid.visible) return;
    const float h = referenceGrid.height;
    // Lines take their colour alone: texturing and lighting are off here.
    // Drawn over the finished scene without the depth test, so terrain and
    // plants never hide it.
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glBegin(GL_LINES);
    glColor3f(0.0f, 0.0f, 1.0f);
    for (int i = -100; i <= 100; ++i) {
        if (i == 0) continue;
        glVertex3f(static_cast<float>(i), h, -100.0f);
        glVertex3f(static_cast<float>(i), h, 100.0f);
    }
    for (int i = -100; i <= 100; ++i) {
        if (i == 0) continue;
        glVertex3f(100.0f, h, static_cast<float>(i));
        glVertex3f(-100.0f, h, static_cast<float>(i));
    }
    if (referenceGrid.axes) {
        glColor3f(1.0f, 0.0f, 0.0f);
        glVertex3f(0.0f, -100.0f, 0.0f);
        glVertex3f(0.0f, 100.0f, 0.0f);
        glColor3f(0.0f, 1.0f, 0.0f);
        glVertex3f(0.0f, h, -100.0f);
        glVertex3f(0.0f, h, 100.0f);
        glColor3f(1.0f, 1.0f, 1.0f);
        glVertex3f(-100.0f, h, 0.0f);
        glVertex3f(100.0f, h, 0.0f);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnd();
    glPopAttrib();
}
