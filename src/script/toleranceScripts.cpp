// toleranceScripts.cpp -- the terrain error tolerance group of script
// functions: setTerrainError (registered by registerToleranceGroup, after the
// screen size group). Main thread only; reads its argument before it acts.
#include <cmath>

#include "scene/sceneConfig.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"

// Largest tolerance taken, in screen pixels: wider than any screen, so
// every algorithm already draws its coarsest level there, and small enough
// that each algorithm's arithmetic on it stays finite in float.
constexpr double maxTerrainErrorPixels = 10000.0;

// setTerrainError(pixels): the error tolerance every terrain algorithm that
// has one refines to, in screen pixels; 0 brings back their fixed rules. A
// value below 0, above 10000, NaN or infinite is a script error and changes
// nothing.
static int scriptSetTerrainError(lua_State* L) {
    double pixels = luaL_checknumber(L, 1);
    if (!(pixels >= 0.0 && pixels <= maxTerrainErrorPixels)) {
        return luaL_argerror(L, 1, "the tolerance must be a number of pixels from 0 to 10000");
    }
    terrainErrorTolerance = static_cast<float>(pixels);
    return 0;
}

void registerToleranceGroup(lua_State* L) { registerScriptFunction(L, "setTerrainError", scriptSetTerrainError); }
