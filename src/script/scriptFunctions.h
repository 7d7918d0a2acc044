// scriptFunctions.h -- the program's script vocabulary, registered in groups.
//
// Provides: registerScriptFunctions and one registrar per group. Groups are
// registered in this order: window mode and loop, interface, console,
// window and sound, camera, measurement, spline, screen size, benchmark
// report. Each group's functions live in the file named beside its
// registrar.
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
void registerReportGroup(lua_State* L);        // reportScripts.cpp
