// frameTimes.cpp -- where a frame's time goes; see frameTimes.h.
#include "app/frameTimes.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <cstring>

#include "app/frameGraph.h"
#include "platform/platform.h"
#include "terrain/terrainFrame.h"

int graphicsTimerWanted = 1;

namespace {

using GenQueriesProc = void (*)(GLsizei, GLuint*);
using BeginQueryProc = void (*)(GLenum, GLuint);
using EndQueryProc = void (*)(GLenum);
using GetQueryObjectivProc = void (*)(GLuint, GLenum, GLint*);
using GetQueryObjectui64vProc = void (*)(GLuint, GLenum, GLuint64*);

struct TimerEntryPoints {
    bool resolved = false;
    const char* kind = "";
    GenQueriesProc genQueries = nullptr;
    BeginQueryProc beginQuery = nullptr;
    EndQueryProc endQuery = nullptr;
    GetQueryObjectivProc getQueryObjectiv = nullptr;
    GetQueryObjectui64vProc getQueryObjectui64v = nullptr;
    bool usable() const { return genQueries && beginQuery && endQuery && getQueryObjectiv && getQueryObjectui64v; }
} timerGl;

constexpr int ringSize = 4;
struct PendingQuery {
    GLuint name = 0;
    bool pending = false;
    long long frame = 0;
};
PendingQuery ring[ringSize];
bool queryOpen = false;
int openSlot = 0;

FrameTimes last;
long long lastFrame = -1;          // number of the last finished frame
long long graphicsFrame = -1;      // number of the frame the newest graphics time is of

// Whether name is one of the space-separated words of the extension string.
bool offered(const char* extensions, const char* name) {
    const size_t length = std::strlen(name);
    for (const char* at = extensions; (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool starts = at == extensions || at[-1] == ' ';
        const bool ends = at[length] == ' ' || at[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

template <typename Proc>
Proc entry(const char* name, const char* fallback) {
    void* address = platformGetProcAddress(name);
    if (!address && fallback) address = platformGetProcAddress(fallback);
    return reinterpret_cast<Proc>(address);
}

bool resolveTimer() {
    if (timerGl.resolved) return timerGl.usable();
    timerGl.resolved = true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!extensions) return false;
    const bool arb = offered(extensions, "GL_ARB_timer_query");
    const bool ext = !arb && offered(extensions, "GL_EXT_timer_query");
    if (!arb && !ext) return false;
    // The query objects are OpenGL 1.5's (or GL_ARB_occlusion_query's).
    timerGl.genQueries = entry<GenQueriesProc>("glGenQueries", "glGenQueriesARB");
    timerGl.beginQuery = entry<BeginQueryProc>("glBeginQuery", "glBeginQueryARB");
    timerGl.endQuery = entry<EndQueryProc>("glEndQuery", "glEndQueryARB");
    timerGl.getQueryObjectiv = entry<GetQueryObjectivProc>("glGetQueryObjectiv", "glGetQueryObjectivARB");
    timerGl.getQueryObjectui64v = arb ? entry<GetQueryObjectui64vProc>("glGetQueryObjectui64v", nullptr)
                                      : entry<GetQueryObjectui64vProc>("glGetQueryObjectui64vEXT", nullptr);
    if (!timerGl.usable()) return false;
    GLuint names[ringSize] = {};
    while (glGetError() != GL_NO_ERROR) {
    }
    timerGl.genQueries(ringSize, names);
    if (glGetError() != GL_NO_ERROR) {
        timerGl.genQueries = nullptr;
        return false;
    }
    for (int i = 0; i < ringSize; ++i) ring[i].name = names[i];
    timerGl.kind = arb ? "GL_ARB_timer_query" : "GL_EXT_timer_query";
    return true;
}

// The caller has a context current (the frame driver, a test's context).
bool timerReady() { return graphicsTimerWanted && resolveTimer(); }

}  // namespace

const char* graphicsTimerKind() { return graphicsTimerWanted && timerGl.usable() ? timerGl.kind : ""; }

void beginFrameGraphicsTimer(long long frame) {
    queryOpen = false;
    if (!timerReady()) return;
    openSlot = static_cast<int>(frame % ringSize);
    // A result still not ready after four frames is given up.
    ring[openSlot].pending = false;
    ring[openSlot].frame = frame;
    timerGl.beginQuery(GL_TIME_ELAPSED, ring[openSlot].name);
    queryOpen = true;
}

void endFrameGraphicsTimer() {
    if (!queryOpen) return;
    // The scene's commands are handed to the driver before the query ends:
    // a renderer that defers its work to the flush (a software rasteriser
    // bins the frame and rasterises it there) does it inside the query.
    glFlush();
    timerGl.endQuery(GL_TIME_ELAPSED);
    ring[openSlot].pending = true;
    queryOpen = false;
}

void collectGraphicsTimes() {
    if (queryOpen || !timerGl.usable()) return;
    for (PendingQuery& query : ring) {
        if (!query.pending) continue;
        GLint ready = 0;
        timerGl.getQueryObjectiv(query.name, GL_QUERY_RESULT_AVAILABLE, &ready);
        if (!ready) continue;
        GLuint64 nanoseconds = 0;
        timerGl.getQueryObjectui64v(query.name, GL_QUERY_RESULT, &nanoseconds);
        query.pending = false;
        if (query.frame < graphicsFrame) continue;  // a newer one is known
        graphicsFrame = query.frame;
        last.graphicsMs = static_cast<double>(nanoseconds) * 1.0e-6;
        if (lastFrame >= 0) recordFrameGraphics(static_cast<int>(lastFrame - query.frame), last.graphicsMs);
    }
}

void finishFrameTimes(long long frame, double frameSeconds) {
    lastFrame = frame;
    last.frameMs = frameSeconds * 1000.0;
    last.lodCpuMs = terrainFrameTimes.lodCpuSeconds * 1000.0;
    last.plantCpuMs = terrainFrameTimes.plantCpuSeconds * 1000.0;
    recordFrameParts(last.lodCpuMs, last.plantCpuMs);
    collectGraphicsTimes();
}

FrameTimes lastFrameTimes() {
    if (platformHasGlContext()) {
        platformMakeCurrent();
        collectGraphicsTimes();
    }
    FrameTimes times = last;
    const long long back = lastFrame - graphicsFrame;
    times.hasGraphics = graphicsFrame >= 0 && back >= 0 && back < ringSize && graphicsTimerKind()[0] != '\0';
    times.graphicsFramesBack = times.hasGraphics ? static_cast<int>(back) : 0;
    if (!times.hasGraphics) times.graphicsMs = 0.0;
    return times;
}
