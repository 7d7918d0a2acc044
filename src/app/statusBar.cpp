// statusBar.cpp -- console window, status bar and title; see statusBar.h.
// Main thread only.
#include "app/statusBar.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "util/output.h"

char statusText[100] = "";
int statusBarHidden = 1;

namespace {
float framesCounted = 0.0f;
double lastDisplaySeconds = 0.0;
float framesPerSecond = 0.0f;  // over the last period shown

bool echoStatus() {
    static const bool echo = [] {
        const char* value = getenv("MORVISTA_ECHO_STATUS");
        return value && strcmp(value, "1") == 0;
    }();
    return echo;
}

// Seconds on the monotonic clock (time since the system started), so the
// first frame is always more than a second after the "last display" at 0.
double clockSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

void createDebugConsole() {
    releaseDebugConsole();
    platformCreateConsole();
}

void releaseDebugConsole() { platformDestroyConsole(); }

void createStatusBar() {
    platformCreateStatusBar();
    statusBarHidden = 0;
}

void destroyStatusBar() {
    platformDestroyStatusBar();
    statusBarHidden = 1;
}

void toggleStatusBar() {
    if (statusBarHidden) createStatusBar();
    else destroyStatusBar();
}

int statusBarHeight() { return platformStatusBarHeight(); }

void setStatusBarText(const char* text) {
    if (statusBarHidden) return;
    platformSetStatusBarText(text);
    if (echoStatus()) {
        std::string line = std::string("status bar: ") + (text ? text : "") + "\n";
        outputError(line.c_str());
    }
}

void formatStatusLine(char* out, size_t size, float frames, const char* text) {
    snprintf(out, size, "FPS: %d %s", static_cast<int>(frames), text ? text : "");
}

float lastFramesPerSecond() { return framesPerSecond; }

void updateFps() {
    double now = clockSeconds();
    framesCounted += 1.0f;
    if (now - lastDisplaySeconds > 1.0) {
        if (lastDisplaySeconds > 0.0) framesPerSecond = static_cast<float>(framesCounted / (now - lastDisplaySeconds));
        lastDisplaySeconds = now;
        char line[160];
        formatStatusLine(line, sizeof line, framesCounted, statusText);
        setStatusBarText(line);
        framesCounted = 0.0f;
    }
}

void setTitle(const char* text) { platformSetTitle(text); }
