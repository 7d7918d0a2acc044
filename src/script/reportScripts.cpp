// reportScripts.cpp -- the benchmark report group of script functions:
// getFrameTime, getFrameTimes, getFrameCount, getProgramVersion, getGLRenderer,
// getGLVersion, getViewportSize, summarise, spreadOf, writeBenchmarkPlot,
// turnFrameGraphOn, turnFrameGraphOff (registered in that order).
// They give a measuring script each frame's time, the record of the run
// (build, renderer, viewport), the summary figures of its measurements and
// its picture, and switch the frame-time graph. Arguments are checked
// before anything is built (a script error unwinds with longjmp).
#include <GL/gl.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "app/frameGraph.h"
#include "app/frameTimes.h"
#include "app/mainLoop.h"
#include "app/menus.h"
#include "app/window.h"
#include "platform/platform.h"
#include "platform/plotImage.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"
#include "util/programVersion.h"
#include "util/statistics.h"

namespace {

// getFrameTime(): milliseconds of the last finished frame (clear to
// presentation, as the frame-time measurement counts it); 0 before any.
int scriptGetFrameTime(lua_State* L) {
    pushScriptNumber(L, frameSeconds * 1000.0);
    return 1;
}

// getFrameTimes(): the last finished frame's time and its parts, in
// milliseconds (app/frameTimes.h): frame (as getFrameTime), the terrain
// algorithm's LOD work and the plant pass's placement and selection (CPU
// time of the main thread), then the graphics time from the timer queries,
// nil where the driver has none or none is measured yet; and, as a fifth
// value, how many frames before the last one that graphics time is of (0:
// the last frame itself; nil with no graphics time). All 0 before any frame.
int scriptGetFrameTimes(lua_State* L) {
    const FrameTimes times = lastFrameTimes();
    pushScriptNumber(L, times.frameMs);
    pushScriptNumber(L, times.lodCpuMs);
    pushScriptNumber(L, times.plantCpuMs);
    if (times.hasGraphics) {
        pushScriptNumber(L, times.graphicsMs);
        pushScriptInteger(L, times.graphicsFramesBack);
    } else {
        lua_pushnil(L);
        lua_pushnil(L);
    }
    return 5;
}

// getFrameCount(): frames finished since start. A script that must know a
// frame was drawn (renderScene() may handle a window event instead) calls
// renderScene() until the count moves.
int scriptGetFrameCount(lua_State* L) {
    pushScriptInteger(L, framesDrawn);
    return 1;
}

// getProgramVersion(): the commit the program was built from, "unknown"
// outside a git checkout.
int scriptGetProgramVersion(lua_State* L) {
    lua_pushstring(L, programVersion());
    return 1;
}

// The text of a glGetString name in the window's context; "unknown" before
// the window exists.
void pushGlString(lua_State* L, GLenum name) {
    const char* text = nullptr;
    if (platformHasGlContext()) {
        platformMakeCurrent();
        text = reinterpret_cast<const char*>(glGetString(name));
    }
    lua_pushstring(L, text && *text ? text : "unknown");
}

// getGLRenderer(), getGLVersion(): GL_RENDERER and GL_VERSION of the window.
int scriptGetGLRenderer(lua_State* L) {
    pushGlString(L, GL_RENDERER);
    return 1;
}
int scriptGetGLVersion(lua_State* L) {
    pushGlString(L, GL_VERSION);
    return 1;
}

// getViewportSize(): width, height of the drawing area in pixels.
int scriptGetViewportSize(lua_State* L) {
    pushScriptInteger(L, viewportWidth);
    pushScriptInteger(L, viewportHeight);
    return 2;
}

// The numbers at positions 1 .. n of the table at index i (anything else
// there is skipped). Raises no script error.
std::vector<double> numbersOf(lua_State* L, int i) {
    std::vector<double> values;
    lua_Integer n = static_cast<lua_Integer>(lua_rawlen(L, i));
    for (lua_Integer k = 1; k <= n; ++k) {
        lua_rawgeti(L, i, k);
        int isNumber = 0;
        double value = lua_tonumberx(L, -1, &isNumber);
        if (isNumber) values.push_back(value);
        lua_pop(L, 1);
    }
    return values;
}

// summarise(t): min, median, p95, max, mean of the numbers in t (the 95th
// percentile interpolated between ranks); nil when t holds no number.
int scriptSummarise(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    Summary s = summarise(numbersOf(L, 1));
    if (s.count == 0) {
        lua_pushnil(L);
        return 1;
    }
    for (double value : {s.min, s.median, s.p95, s.max, s.mean}) pushScriptNumber(L, value);
    return 5;
}

// spreadOf(t): largest / smallest - 1 of the numbers in t (0.05 is 5 %);
// 0 for fewer than two.
int scriptSpreadOf(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    pushScriptNumber(L, spread(numbersOf(L, 1)));
    return 1;
}

// Raw field access of the table at index t (no metamethods, no errors).
void pushField(lua_State* L, int t, const char* key) {
    lua_pushstring(L, key);
    lua_rawget(L, t);
}

std::string textField(lua_State* L, int t, const char* key) {
    pushField(L, t, key);
    size_t length = 0;
    const char* text = lua_type(L, -1) == LUA_TSTRING || lua_type(L, -1) == LUA_TNUMBER ? lua_tolstring(L, -1, &length)
                                                                                          : nullptr;
    std::string value = text ? std::string(text, length) : std::string();
    lua_pop(L, 1);
    return value;
}

// A number field; NaN (not measured) when missing or not a number.
double numberField(lua_State* L, int t, const char* key) {
    pushField(L, t, key);
    int isNumber = 0;
    double value = lua_tonumberx(L, -1, &isNumber);
    lua_pop(L, 1);
    return isNumber ? value : std::numeric_limits<double>::quiet_NaN();
}

std::vector<std::string> textList(lua_State* L, int t, const char* key) {
    std::vector<std::string> list;
    pushField(L, t, key);
    if (lua_type(L, -1) == LUA_TTABLE) {
        int list_index = lua_gettop(L);
        lua_Integer n = static_cast<lua_Integer>(lua_rawlen(L, list_index));
        for (lua_Integer k = 1; k <= n; ++k) {
            lua_rawgeti(L, list_index, k);
            const char* text = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
            list.push_back(text ? text : "");
            lua_pop(L, 1);
        }
    }
    lua_pop(L, 1);
    return list;
}

// Calls each(index) with every table at positions 1 .. n of the list field.
template <typename Each>
void forEachTable(lua_State* L, int t, const char* key, Each each) {
    pushField(L, t, key);
    if (lua_type(L, -1) == LUA_TTABLE) {
        int list = lua_gettop(L);
        lua_Integer n = static_cast<lua_Integer>(lua_rawlen(L, list));
        for (lua_Integer k = 1; k <= n; ++k) {
            lua_rawgeti(L, list, k);
            if (lua_type(L, -1) == LUA_TTABLE) each(lua_gettop(L));
            lua_pop(L, 1);
        }
    }
    lua_pop(L, 1);
}

// writeBenchmarkPlot(file, plot): draws the benchmark's picture into a PNG
// file. plot is a table:
//   title, walkCaption (texts), notes (list of texts), width, height (pixels,
//   default 1600 x 1200);
//   walk = list of {name = text, ms = list of milliseconds per frame};
//   colourNames, shapeNames = lists of texts for the point legend;
//   points = list of {colour = 1.., shape = 1.., label = text, ms = number,
//     errorPixels, terrainShare, plantShare = numbers or nil (not measured)}.
// Returns true, or nil and the reason.
int scriptWriteBenchmarkPlot(lua_State* L) {
    const char* fileName = scriptString(L, 1);
    luaL_checktype(L, 2, LUA_TTABLE);
    bool written = false;
    std::string why;
    {
        BenchmarkPlot plot;
        const int t = 2;
        plot.title = textField(L, t, "title");
        plot.walkCaption = textField(L, t, "walkCaption");
        plot.notes = textList(L, t, "notes");
        plot.colourNames = textList(L, t, "colourNames");
        plot.shapeNames = textList(L, t, "shapeNames");
        double width = numberField(L, t, "width"), height = numberField(L, t, "height");
        if (std::isfinite(width)) plot.width = static_cast<int>(width);
        if (std::isfinite(height)) plot.height = static_cast<int>(height);
        forEachTable(L, t, "walk", [&](int line) {
            PlotLine plotLine;
            plotLine.name = textField(L, line, "name");
            pushField(L, line, "ms");
            if (lua_type(L, -1) == LUA_TTABLE) plotLine.values = numbersOf(L, lua_gettop(L));
            lua_pop(L, 1);
            plot.walk.push_back(std::move(plotLine));
        });
        forEachTable(L, t, "points", [&](int entry) {
            PlotPoint point;
            double colour = numberField(L, entry, "colour"), shape = numberField(L, entry, "shape");
            point.colour = std::isfinite(colour) ? static_cast<int>(colour) - 1 : 0;
            point.shape = std::isfinite(shape) ? static_cast<int>(shape) - 1 : 0;
            point.label = textField(L, entry, "label");
            point.ms = numberField(L, entry, "ms");
            point.errorPixels = numberField(L, entry, "errorPixels");
            point.terrainShare = numberField(L, entry, "terrainShare");
            point.plantShare = numberField(L, entry, "plantShare");
            plot.points.push_back(std::move(point));
        });
        written = platformWriteBenchmarkPlot(plot, fileName, why);
    }
    if (written) {
        lua_pushboolean(L, 1);
        return 1;
    }
    lua_pushnil(L);
    lua_pushstring(L, why.c_str());
    return 2;
}

// turnFrameGraphOn(), turnFrameGraphOff(): the frame-time graph over the
// view, and the mark of "Tools > Frame Time Graph".
int scriptTurnFrameGraphOn(lua_State*) {
    frameGraphEnabled = 1;
    setMenuCheck(910, true);
    return 0;
}
int scriptTurnFrameGraphOff(lua_State*) {
    frameGraphEnabled = 0;
    setMenuCheck(910, false);
    return 0;
}

}  // namespace

void registerReportGroup(lua_State* L) {
    registerScriptFunction(L, "getFrameTime", scriptGetFrameTime);
    registerScriptFunction(L, "getFrameTimes", scriptGetFrameTimes);
    registerScriptFunction(L, "getFrameCount", scriptGetFrameCount);
    registerScriptFunction(L, "getProgramVersion", scriptGetProgramVersion);
    registerScriptFunction(L, "getGLRenderer", scriptGetGLRenderer);
    registerScriptFunction(L, "getGLVersion", scriptGetGLVersion);
    registerScriptFunction(L, "getViewportSize", scriptGetViewportSize);
    registerScriptFunction(L, "summarise", scriptSummarise);
    registerScriptFunction(L, "spreadOf", scriptSpreadOf);
    registerScriptFunction(L, "writeBenchmarkPlot", scriptWriteBenchmarkPlot);
    registerScriptFunction(L, "turnFrameGraphOn", scriptTurnFrameGraphOn);
    registerScriptFunction(L, "turnFrameGraphOff", scriptTurnFrameGraphOff);
}
