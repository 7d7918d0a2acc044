// measure.cpp -- frame-time measurement and screenshots; see measure.h.
#include "app/measure.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/fullView.h"
#include "app/statusBar.h"
#include "app/window.h"
#include "controls/controlState.h"
#include "image/screenshot.h"
#include "util/output.h"

double frameSeconds = 0.0;
int frameSamples = 1000;
int measureCountdown = 0;
float frameTimeSum = 0.0f;
int screenshotRequested = 0;
int menusHiddenBeforeShot = 0;
char shotName[SHOT_NAME_MAX + 1] = "";
int shotNamePending = 0;

// Frames of the run in progress, fixed when it starts, so that changing
// frameSamples during a run cannot skew its average.
static int runSamples = 0;
static float lastRunAverage = 0.0f;  // average of the last finished run
static char statusLine[64] = "";     // see measurementStatus

static void updateStatus() {
    if (measureCountdown > 0) {
        snprintf(statusLine, sizeof statusLine, "   measuring %d / %d", runSamples - measureCountdown, runSamples);
    } else {
        snprintf(statusLine, sizeof statusLine, "   measured %d frames: avg %0.2f ms", runSamples, lastRunAverage);
    }
}

const char* measurementStatus() { return statusLine; }

bool setFrameSamples(int count) {
    if (count < 1) {
        outputPrintf("setFrameSamples: %d frames cannot be measured, keeping %d\n", count, frameSamples);
        return false;
    }
    frameSamples = count;
    return true;
}

void startMeasurement() {
    measureCountdown = frameSamples;
    runSamples = frameSamples;
    updateStatus();
}

void measurementStep() {
    if (measureCountdown <= 0) return;
    if (measureCountdown == runSamples) frameTimeSum = 0.0f;  // first frame of the run
    measureCountdown -= 1;
    double milliseconds = frameSeconds * 1000.0;
    outputDiagnosticPrintf("%0.2f milli sec\n", milliseconds);
    frameTimeSum += static_cast<float>(milliseconds);
    if (measureCountdown == 0) {
        lastRunAverage = frameTimeSum / runSamples;
        outputPrintf("sum %0.2f avg %0.2f\n", frameTimeSum, lastRunAverage);
    }
    updateStatus();
}

float measureFrameTime() {
    float previous = lastRunAverage;
    startMeasurement();
    return previous;
}

void triggerShot() {
    outputText("triggerShot\n");
    // A second request before the shot is taken must not record the menus
    // as hidden by the user: they were hidden by the first request.
    if (!screenshotRequested) menusHiddenBeforeShot = menusHidden;
    hideMenus();
    screenshotRequested = 1;
}

void takeScreenShot(const char* fileName) {
    if (!fileName) return;
    size_t length = strlen(fileName);
    if (length > SHOT_NAME_MAX) {
        outputPrintf("screenshot file name of %zu characters is too long (at most %d): no shot taken\n", length,
                     SHOT_NAME_MAX);
        return;
    }
    memcpy(shotName, fileName, length + 1);
    shotNamePending = 1;
    triggerShot();
}

// One capture of the view without the status bar; returns the writer's
// result (1 written, -1 not).
static int grabShot() {
    outputText("dothegrab\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    screenshotRequested = 0;
    int bottom = menusHidden ? 0 : statusBarHeight();
    int result;
    if (shotNamePending) {
        outputPrintf("saving file %s\n", shotName);
        result = saveScreenRectAs(shotName, 0, bottom, viewportWidth, viewportHeight);
    } else {
        result = saveScreenRect("screenshot", 0, bottom, viewportWidth, viewportHeight);
    }
    outputPrintf("screenshot sh glw h %d %d %d\n", bottom, viewportWidth, viewportHeight);
    return result;
}

void screenshotSequence() {
    int first = grabShot();
    // The second capture rewrites the same numbered file. Only step the
    // counter back when the first one was written: otherwise the counter
    // did not move and stepping back would overwrite the previous shot.
    if (!shotNamePending && first == 1) decrementScreenshotCounter();
    grabShot();
    shotNamePending = 0;
    if (!menusHiddenBeforeShot) showMenus();
}
