// measureScripts.cpp -- the measurement group of script functions:
// setFrameSamples, measureFrameTime, getSceneNumPolygons, takeScreenShot,
// timeGetTime (registered in that order). Each reads its arguments first,
// then acts (a bad argument raises a script error before anything changes).
#include <time.h>

#include <cstdint>

#include "app/mainLoop.h"
#include "app/measure.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"

// setFrameSamples(n): frames in one measurement run (n below 1 is refused).
static int scriptSetFrameSamples(lua_State* L) {
    int count = scriptInt(L, 1);
    setFrameSamples(count);
    return 0;
}

// measureFrameTime(): starts a run; returns the last finished run's average
// frame time in milliseconds (0 before the first run).
static int scriptMeasureFrameTime(lua_State* L) {
    pushScriptNumber(L, measureFrameTime());
    return 1;
}

// getSceneNumPolygons(): polygons of the last finished frame.
static int scriptGetSceneNumPolygons(lua_State* L) {
    pushScriptInteger(L, lastScenePolygons);
    return 1;
}

// takeScreenShot(fileName): the next frame is written to that file.
static int scriptTakeScreenShot(lua_State* L) {
    const char* fileName = scriptString(L, 1);
    takeScreenShot(fileName);
    return 0;
}

// timeGetTime(): milliseconds since the system started, wrapping at 2^32.
static int scriptTimeGetTime(lua_State* L) {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    uint64_t milliseconds = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    pushScriptInteger(L, static_cast<uint32_t>(milliseconds));
    return 1;
}

void registerMeasurementGroup(lua_State* L) {
    registerScriptFunction(L, "setFrameSamples", scriptSetFrameSamples);
    registerScriptFunction(L, "measureFrameTime", scriptMeasureFrameTime);
    registerScriptFunction(L, "getSceneNumPolygons", scriptGetSceneNumPolygons);
    registerScriptFunction(L, "takeScreenShot", scriptTakeScreenShot);
    registerScriptFunction(L, "timeGetTime", scriptTimeGetTime);
}
