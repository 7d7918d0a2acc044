// toleranceScripts.cpp -- the terrain error tolerance group of script
// functions: setTerrainError (registered by registerToleranceGroup, after the
// screen size group). Main thread only; reads its argument before it acts.
#include <cmath>

#include "scene/sceneConfig.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"

// setTerrainError(pixels): the error tolerance geomipmapping and ROAM refine
// to, in screen pixels; 0 brings back their fixed rules. A negative, NaN or
// infinite value is a script error and changes nothing.
static int scriptSetTerrainError(lua_State* L) {
    double pixels = luaL_checknumber(L, 1);
    if (!std::isfinite(pixels) || pixels < 0.0) {
        return luaL_argerror(L, 1, "the tolerance must be a number of pixels, 0 or more");
    }
    terrainErrorTolerance = static_cast<float>(pixels);
    return 0;
}

void registerToleranceGroup(lua_State* L) { registerScriptFunction(L, "setTerrainError", scriptSetTerrainError); }
