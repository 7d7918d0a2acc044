// scriptFunctions.cpp -- registers every script function group in order.
#include "script/scriptFunctions.h"

#include "script/scriptHost.h"

void registerScriptFunctions(ScriptHost* host) {
    lua_State* L = host->luaState;
    registerWindowModeGroup(L);
    registerInterfaceGroup(L);
    registerConsoleGroup(L);
    registerWindowSoundGroup(L);
    registerCameraGroup(L);
    registerMeasurementGroup(L);
    registerSplineGroup(L);
    registerScreenSizeGroup(L);
    registerSceneFolderGroup(L);
    registerToleranceGroup(L);
    registerFidelityGroup(L);
    registerReportGroup(L);
    registerOverlayGroup(L);
}
