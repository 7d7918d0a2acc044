// splineScripts.cpp -- the spline group of script functions.
//
// Provides: registerSplineGroup, registering in this order: writeToFile,
// generateRandomSpline, loadSpline, interpolateSpline.
// Thin adapters over camera/spline.h: every argument is read (a script error
// when one is missing) before acting. Main thread only.
// generateRandomSpline writes numbers with std::to_chars so that loadSpline
// reads them back the same whatever C locale the process runs in; it draws
// its key points over the whole map and refuses more than 1000.
#include <cerrno>
#include <cstring>
#include <lua.hpp>

#include <charconv>
#include <cstdio>

#include "camera/spline.h"
#include "math/random.h"
#include "scene/sceneConfig.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"
#include "util/output.h"

namespace {
// Key points a random tour may have: a tour of 1000 segments is far longer
// than any scripted flight, and the file stays below 30 kB.
constexpr int maxRandomKeyPoints = 1000;

// The largest grid coordinate of the loaded map (128 before a scene is built:
// the 129 map's).
int randomSplineExtent() {
    int extent = static_cast<int>(mapExtent);
    return extent >= 2 ? extent : 128;
}

// writeToFile(fileName, text): appends the bytes of text (any bytes, zeros
// included, no terminator). A file that cannot be opened or written is a
// script error naming the file and the system's reason ("writeToFile:
// cannot write out/b.csv: No such file or directory"), so a failed write
// is never taken for a written file.
int scriptWriteToFile(lua_State* L) {
    const char* fileName = scriptString(L, 1);
    const char* text = scriptString(L, 2);
    size_t length = lua_rawlen(L, 2);
    FILE* file = fopen(fileName, "ab");
    if (!file) return luaL_error(L, "writeToFile: cannot write %s: %s", fileName, strerror(errno));
    bool written = length == 0 || fwrite(text, 1, length, file) == length;
    int reason = errno;
    if (fclose(file) != 0 && written) {
        written = false;
        reason = errno;
    }
    if (!written) return luaL_error(L, "writeToFile: cannot write %s: %s", fileName, strerror(reason));
    return 0;
}

// Appends value as "%f" would write it in the C locale.
char* putFixed(char* at, char* end, float value) {
    std::to_chars_result result = std::to_chars(at, end, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? result.ptr : at;
}

// generateRandomSpline(fileName, count): count lines "x 0 z" with x and z
// from randomFloat(1, mapExtent - 1) over the loaded map (1 to 127 on the
// 129 map, which is also the range before a scene is built);
// a count of 0 or less leaves an empty file; nothing when the file cannot be
// created. A count above maxRandomKeyPoints is a script error and writes
// nothing.
int scriptGenerateRandomSpline(lua_State* L) {
    const char* fileName = scriptString(L, 1);
    int count = scriptInt(L, 2);
    if (count > maxRandomKeyPoints)
        return luaL_error(L, "generateRandomSpline: %d key points asked for, at most %d", count, maxRandomKeyPoints);
    const float extent = static_cast<float>(randomSplineExtent());
    FILE* file = fopen(fileName, "w");
    if (!file) return 0;
    for (int i = 0; i < count; ++i) {
        float x = randomFloat(1.0f, extent - 1.0f);
        float z = randomFloat(1.0f, extent - 1.0f);
        char line[128];
        char* end = line + sizeof line;
        char* at = putFixed(line, end, x);
        *at++ = ' ';
        *at++ = '0';
        *at++ = ' ';
        at = putFixed(at, end - 1, z);
        *at++ = '\n';
        fwrite(line, 1, static_cast<size_t>(at - line), file);
    }
    fclose(file);
    return 0;
}

// loadSpline(fileName, duration) -> slot index; -1 when all slots are taken.
int scriptLoadSpline(lua_State* L) {
    const char* fileName = scriptString(L, 1);
    int duration = scriptInt(L, 2);
    pushScriptInteger(L, loadSplineSlot(fileName, duration));
    return 1;
}

// interpolateSpline(index, t) -> x, y, z at the whole-number time t; an
// index that names no spline gives the origin (see evaluateSpline for the
// other edge cases).
int scriptInterpolateSpline(lua_State* L) {
    int index = scriptInt(L, 1);
    int time = scriptInt(L, 2);
    outputText("before pos\n");
    float x = 0.0f, y = 0.0f, z = 0.0f;
    interpolateSplineSlot(index, static_cast<float>(time), x, y, z);
    outputDiagnosticPrintf("POS %f %f %f\n", x, y, z);
    pushScriptNumber(L, x);
    pushScriptNumber(L, y);
    pushScriptNumber(L, z);
    return 3;
}
}  // namespace

void registerSplineGroup(lua_State* L) {
    registerScriptFunction(L, "writeToFile", scriptWriteToFile);
    registerScriptFunction(L, "generateRandomSpline", scriptGenerateRandomSpline);
    registerScriptFunction(L, "loadSpline", scriptLoadSpline);
    registerScriptFunction(L, "interpolateSpline", scriptInterpolateSpline);
}
