// scriptFunctions.h -- the program's script vocabulary, registered in groups.
//
// Provides: registerScriptFunctions and one registrar per group. Groups are
// registered in this order: window mode and loop, interface, console,
// window and sound, camera, measurement, spline, screen size, scene folder,
// terrain error tolerance, fidelity, benchmark report, view text. Each group's
// functions live in the file named beside its registrar.
#pragma once

struct lua_State;
struct ScriptHost;

void registerScriptFunctions(ScriptHost* host);

void registerWindowModeGroup(lua_State* L);    // windowScripts.cpp
void registerInterfaceGroup(lua_State* L);     // interfaceScripts.cpp
void registerConsoleGroup(lua_State* L);       // windowScripts.cpp
void registerWindowSoundGroup(lua_State* L);   // windowScripts.cpp
void registerCameraGroup(lua_State* L);        // cameraScripts.cpp
void registerMeasurementGroup(lua_State* L);   // measureScripts.cpp
void registerSplineGroup(lua_State* L);        // splineScripts.cpp
void registerScreenSizeGroup(lua_State* L);    // windowScripts.cpp
void registerSceneFolderGroup(lua_State* L);   // sceneScripts.cpp
void registerToleranceGroup(lua_State* L);     // toleranceScripts.cpp
void registerFidelityGroup(lua_State* L);      // fidelityScripts.cpp
void registerReportGroup(lua_State* L);        // reportScripts.cpp
void registerOverlayGroup(lua_State* L);       // overlayScripts.cpp

// With a scene folder set, a script error (also on standard error) naming
// every scene file of the current size that the folder lacks; caller names
// the script function. Returns 0 when nothing is missing.
int requireCompleteSceneFolder(lua_State* L, const char* caller);
