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
#include "app/measure.h"
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

// getViewportSize(): width, height of the drawing area in pixels; nil
// before the window exists (there is no drawing area to measure yet).
int scriptGetViewportSize(lua_State* L) {
    if (!platformHasGlContext()) {
        lua_pushnil(L);
        return 1;
    }
    pushScriptInteger(L, viewportWidth);
    pushScriptInteger(L, viewportHeight);
    return 2;
}

// The numbers at positions 1 .. n of the table at index i (anything else
// there is skipped). Raises no script error. For the plot, where a missing
// figure is "not measured".
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

// The values at positions 1 .. n of the table at argument 1 of `function`,
// each of which must be a number (a string such as "5" is not) and not NaN:
// anything else is a script error naming its position.
std::vector<double> measurementsOf(lua_State* L, const char* function) {
    luaL_checktype(L, 1, LUA_TTABLE);
    // Checked before anything is allocated: a script error jumps out
    // without running destructors.
    lua_Integer n = static_cast<lua_Integer>(lua_rawlen(L, 1));
    for (lua_Integer k = 1; k <= n; ++k) {
        lua_rawgeti(L, 1, k);
        int type = lua_type(L, -1);
        double value = type == LUA_TNUMBER ? lua_tonumber(L, -1) : 0.0;
        lua_pop(L, 1);
        if (type != LUA_TNUMBER)
            luaL_error(L, "%s: entry %d is a %s, not a number", function, static_cast<int>(k), lua_typename(L, type));
        if (std::isnan(value)) luaL_error(L, "%s: entry %d is NaN, not a measurement", function, static_cast<int>(k));
    }
    return numbersOf(L, 1);
}

// summarise(t): min, median, p95, max, mean of the numbers in t (the 95th
// percentile interpolated between ranks); nil when t is empty. An entry
// that is not a number, or is NaN, is a script error.
int scriptSummarise(lua_State* L) {
    Summary s = summarise(measurementsOf(L, "summarise"));
    if (s.count == 0) {
        lua_pushnil(L);
        return 1;
    }
    for (double value : {s.min, s.median, s.p95, s.max, s.mean}) pushScriptNumber(L, value);
    return 5;
}

// spreadOf(t): largest / smallest - 1 of the numbers in t (0.05 is 5 %);
// 0 for fewer than two. Entries are checked as summarise checks them.
int scriptSpreadOf(lua_State* L) {
    pushScriptNumber(L, spread(measurementsOf(L, "spreadOf")));
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

// Largest side of the benchmark picture, in pixels.
constexpr int plotSideLimit = 16384;
// Largest colour or shape number of a point.
constexpr int plotStyleLimit = 1000;

// The whole number in field `key` of the table at t, from 1 to `largest`;
// `otherwise` when the field is missing. Anything else (not a number, NaN,
// a fraction, out of range) is a script error naming the field.
int wholeField(lua_State* L, int t, const char* key, int largest, int otherwise, const char* where) {
    pushField(L, t, key);
    int type = lua_type(L, -1);
    double value = type == LUA_TNUMBER ? lua_tonumber(L, -1) : 0.0;
    lua_pop(L, 1);
    if (type == LUA_TNIL) return otherwise;
    if (type != LUA_TNUMBER || !(value >= 1.0 && value <= largest) || value != std::floor(value))
        return luaL_error(L, "writeBenchmarkPlot: %s%s must be a whole number from 1 to %d", where, key, largest);
    return static_cast<int>(value);
}

// writeBenchmarkPlot(file, plot): draws the benchmark's picture into a PNG
// file. plot is a table:
//   title, walkCaption (texts), notes (list of texts), width, height (pixels,
//   default 1600 x 1200);
//   walk = list of {name = text, ms = list of milliseconds per frame};
//   poppingCaption (text), popping = list of {name = text, pixels = list of
//     the popping maximum per frame, NaN where not measured} (optional);
//   colourNames, shapeNames = lists of texts for the point legend;
//   points = list of {colour = 1.., shape = 1.., label = text, ms = number,
//     errorPixels, terrainShare, plantShare = numbers or nil (not measured)}.
// width and height are whole numbers from 1 to 16384, colour and shape from
// 1 to 1000 (missing: the default, 1); anything else is a script error.
// Returns true, or nil and the reason.
int scriptWriteBenchmarkPlot(lua_State* L) {
    const char* fileName = scriptString(L, 1);
    luaL_checktype(L, 2, LUA_TTABLE);
    const int t = 2;
    // Every number that becomes an int is checked before anything is built
    // (a script error jumps out without running destructors).
    wholeField(L, t, "width", plotSideLimit, 0, "");
    wholeField(L, t, "height", plotSideLimit, 0, "");
    forEachTable(L, t, "points", [&](int entry) {
        wholeField(L, entry, "colour", plotStyleLimit, 1, "a point's ");
        wholeField(L, entry, "shape", plotStyleLimit, 1, "a point's ");
    });
    bool written = false;
    std::string why;
    {
        BenchmarkPlot plot;
        plot.title = textField(L, t, "title");
        plot.walkCaption = textField(L, t, "walkCaption");
        plot.notes = textList(L, t, "notes");
        plot.colourNames = textList(L, t, "colourNames");
        plot.shapeNames = textList(L, t, "shapeNames");
        plot.width = wholeField(L, t, "width", plotSideLimit, plot.width, "");
        plot.height = wholeField(L, t, "height", plotSideLimit, plot.height, "");
        forEachTable(L, t, "walk", [&](int line) {
            PlotLine plotLine;
            plotLine.name = textField(L, line, "name");
            pushField(L, line, "ms");
            if (lua_type(L, -1) == LUA_TTABLE) plotLine.values = numbersOf(L, lua_gettop(L));
            lua_pop(L, 1);
            plot.walk.push_back(std::move(plotLine));
        });
        plot.poppingCaption = textField(L, t, "poppingCaption");
        forEachTable(L, t, "popping", [&](int line) {
            PlotLine plotLine;
            plotLine.name = textField(L, line, "name");
            pushField(L, line, "pixels");
            if (lua_type(L, -1) == LUA_TTABLE) plotLine.values = numbersOf(L, lua_gettop(L));
            lua_pop(L, 1);
            plot.popping.push_back(std::move(plotLine));
        });
        forEachTable(L, t, "points", [&](int entry) {
            PlotPoint point;
            point.colour = wholeField(L, entry, "colour", plotStyleLimit, 1, "a point's ") - 1;
            point.shape = wholeField(L, entry, "shape", plotStyleLimit, 1, "a point's ") - 1;
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
