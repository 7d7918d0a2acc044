// fidelityScripts.cpp -- the fidelity group of script functions: how far
// the level-of-detail pictures are from full detail, and like-with-like
// texturing. measureTerrainError, measurePlantError,
// turnUniformTexturingOn, turnUniformTexturingOff, measureTerrainPopping,
// turnPoppingMeasureOn, turnPoppingMeasureOff, turnGeomorphingOn,
// turnGeomorphingOff (registered in that order).
// Main thread only.
//
// measureTerrainError() returns the geometric error's 95th percentile and
// maximum in pixels, the share of differing pixels (0..1) and the PSNR in
// dB (math.huge when identical) -- see terrain/terrainError.h -- and prints
// the same line on the console; nil (with a line saying why) for the
// quad-tree, with the terrain off, or without a window.
// measureTerrainPopping() returns the popping's 95th percentile and
// maximum in pixels and the share of differing pixels (0..1) between the
// last two frames' meshes -- see terrain/terrainPopping.h -- and prints the
// same line; nil (with a line saying why) while popping is not measured,
// before two frames were drawn with it on, or with nothing to measure.
// turnPoppingMeasureOn/Off start and stop keeping the frames' meshes.
// turnGeomorphingOn/Off switch geomipmapping's geomorphing
// (terrain/geomipmap.h) and the mark of its menu item.
// measurePlantError() returns the share and PSNR of the current plant
// scheme against full models (vegetation/plantError.h); nil with the
// plants off.
#include <lua.hpp>

#include "app/menus.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"
#include "terrain/terrainError.h"
#include "terrain/terrainPopping.h"
#include "vegetation/plantError.h"

namespace {

// Measurements draw offscreen with the window's context.
void makeContextCurrent() {
    if (platformHasGlContext()) platformMakeCurrent();
}

int scriptMeasureTerrainError(lua_State* L) {
    makeContextCurrent();
    TerrainErrorResult result;
    if (measureAndReportTerrainError(result) != TerrainErrorStatus::measured) {
        lua_pushnil(L);
        return 1;
    }
    pushScriptNumber(L, result.geometricP95);
    pushScriptNumber(L, result.geometricMax);
    pushScriptNumber(L, result.imageShare);
    pushScriptNumber(L, result.psnr);  // inf is math.huge
    return 4;
}

int scriptMeasurePlantError(lua_State* L) {
    makeContextCurrent();
    PlantErrorResult result;
    if (measureAndReportPlantError(result) != PlantErrorStatus::measured) {
        lua_pushnil(L);
        return 1;
    }
    pushScriptNumber(L, result.imageShare);
    pushScriptNumber(L, result.psnr);
    return 2;
}

int scriptTurnUniformTexturingOn(lua_State*) {
    uniformTexturing = 1;
    setMenuCheck(uniformTexturingCommand, true);
    return 0;
}

int scriptTurnUniformTexturingOff(lua_State*) {
    uniformTexturing = 0;
    setMenuCheck(uniformTexturingCommand, false);
    return 0;
}

int scriptMeasureTerrainPopping(lua_State* L) {
    makeContextCurrent();
    TerrainPoppingResult result;
    if (measureAndReportTerrainPopping(result) != TerrainPoppingStatus::measured) {
        lua_pushnil(L);
        return 1;
    }
    pushScriptNumber(L, result.p95);
    pushScriptNumber(L, result.max);
    pushScriptNumber(L, result.share);
    return 3;
}

int scriptTurnPoppingMeasureOn(lua_State*) {
    turnPoppingMeasureOn();
    return 0;
}

int scriptTurnPoppingMeasureOff(lua_State*) {
    turnPoppingMeasureOff();
    return 0;
}

int scriptTurnGeomorphingOn(lua_State*) {
    geomorphing = 1;
    setMenuCheck(geomorphingCommand, true);
    return 0;
}

int scriptTurnGeomorphingOff(lua_State*) {
    geomorphing = 0;
    setMenuCheck(geomorphingCommand, false);
    return 0;
}

}  // namespace

void registerFidelityGroup(lua_State* L) {
    registerScriptFunction(L, "measureTerrainError", scriptMeasureTerrainError);
    registerScriptFunction(L, "measurePlantError", scriptMeasurePlantError);
    registerScriptFunction(L, "turnUniformTexturingOn", scriptTurnUniformTexturingOn);
    registerScriptFunction(L, "turnUniformTexturingOff", scriptTurnUniformTexturingOff);
    registerScriptFunction(L, "measureTerrainPopping", scriptMeasureTerrainPopping);
    registerScriptFunction(L, "turnPoppingMeasureOn", scriptTurnPoppingMeasureOn);
    registerScriptFunction(L, "turnPoppingMeasureOff", scriptTurnPoppingMeasureOff);
    registerScriptFunction(L, "turnGeomorphingOn", scriptTurnGeomorphingOn);
    registerScriptFunction(L, "turnGeomorphingOff", scriptTurnGeomorphingOff);
}
