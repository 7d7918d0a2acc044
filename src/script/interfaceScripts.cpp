// interfaceScripts.cpp -- script functions of the interface: algorithms,
// menus, switches of what is drawn, the camera lock, the title and the
// status bar, sleeping, running programs, the current directory.
//
// Provides: registerInterfaceGroup. Main thread only; each function reads
// all of its arguments before it acts. A switch sets its value and the mark
// of its menu item on the menu bar (kept while the bar is hidden).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/input.h"
#include "app/menus.h"
#include "app/statusBar.h"
#include "scene/sceneConfig.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"
#include "sky/skyBox.h"
#include "terrain/terrainAlgorithm.h"
#include "util/output.h"
#include "vegetation/plantSet.h"

extern char** environ;

namespace {

void sleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int scriptTesting(lua_State*) {
    outputText("testing");
    return 0;
}

// The keywords of the registered algorithms, tried in registry order
// ("brute", "geo", "quad", "roam", then the others'). Brute force and
// geomipmapping are reached through their internal commands 802 and 803.
int scriptSetTerrainAlgorithm(lua_State* L) {
    const char* name = scriptString(L, 1);
    if (const TerrainAlgorithm* algorithm = matchTerrainAlgorithm(name)) {
        if (algorithm->id() == terrainBruteForce) sendCommand(802);
        else if (algorithm->id() == terrainGeomipmap) sendCommand(803);
        else selectTerrainAlgorithm(algorithm->id());
    }
    sleepMilliseconds(10);
    return 0;
}

// Three tables in registry order: the names (each selects its algorithm
// with setTerrainAlgorithm), the menu labels without their access-key
// marks, and whether each draws terrain (false for the quad-tree).
int scriptGetTerrainAlgorithms(lua_State* L) {
    const std::vector<TerrainAlgorithm*>& algorithms = terrainAlgorithms();
    const int count = static_cast<int>(algorithms.size());
    lua_createtable(L, count, 0);
    lua_createtable(L, count, 0);
    lua_createtable(L, count, 0);
    for (int i = 0; i < count; ++i) {
        const TerrainAlgorithm& algorithm = *algorithms[static_cast<size_t>(i)];
        lua_pushstring(L, algorithm.name());
        lua_rawseti(L, -4, i + 1);
        std::string label;
        for (const char* c = algorithm.menuLabel(); *c; ++c)
            if (*c != '&') label += *c;
        lua_pushstring(L, label.c_str());
        lua_rawseti(L, -3, i + 1);
        lua_pushboolean(L, algorithm.drawsTerrain() ? 1 : 0);
        lua_rawseti(L, -2, i + 1);
    }
    return 3;
}

int scriptSetPlantAlgorithm(lua_State* L) {
    const char* name = scriptString(L, 1);
    // "xbill" before "bill": "xbill" contains "bill".
    if (strstr(name, "brute")) selectPlantAlgorithm(514);
    else if (strstr(name, "xbill")) selectPlantAlgorithm(515);
    else if (strstr(name, "bill")) selectPlantAlgorithm(516);
    else if (strstr(name, "mix")) selectPlantAlgorithm(517);
    else if (strstr(name, "smooth")) selectPlantAlgorithm(518);
    return 0;
}

int scriptSleep(lua_State* L) {
    sleepMilliseconds(scriptInt(L, 1));
    return 0;
}

int scriptHideMenus(lua_State*) {
    sendCommand(800);
    sleepMilliseconds(500);
    return 0;
}

int scriptShowMenus(lua_State*) {
    sendCommand(801);
    outputText("lua show\n");
    return 0;
}

int scriptLockCamera(lua_State*) {
    cameraLocked = 1;
    setMenuCheck(511, true);
    return 0;
}

int scriptUnlockCamera(lua_State*) {
    cameraLocked = 0;
    setMenuCheck(511, false);
    return 0;
}

int scriptRunProgram(lua_State* L) {
    const char* commandLine = scriptString(L, 1);
    outputText("running\n");
    // The command line is run by the shell, which splits it into the program
    // and its arguments; the script goes on when the program has ended.
    char shellName[] = "sh";
    char shellOption[] = "-c";
    char* arguments[] = {shellName, shellOption, const_cast<char*>(commandLine), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, "/bin/sh", nullptr, nullptr, arguments, environ) == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    outputText("end run\n");
    return 0;
}

// One script switch: the value and the mark of its menu item.
void setSwitch(int& value, int menuItem, int on) {
    value = on;
    setMenuCheck(menuItem, on != 0);
}

int scriptTurnTerrainLightOff(lua_State*) { setSwitch(lightmapEnabled, 499, 0); return 0; }
int scriptTurnTerrainLightOn(lua_State*) { setSwitch(lightmapEnabled, 499, 1); return 0; }
int scriptTurnTerrainMultitexturingOff(lua_State*) { setSwitch(splattingEnabled, 513, 0); return 0; }
int scriptTurnTerrainMultitexturingOn(lua_State*) { setSwitch(splattingEnabled, 513, 1); return 0; }
int scriptTurnTerrainOff(lua_State*) { setSwitch(showTerrain, 526, 0); return 0; }
int scriptTurnTerrainOn(lua_State*) { setSwitch(showTerrain, 526, 1); return 0; }
int scriptTurnPlantLightOff(lua_State*) { setSwitch(plantLighting, 498, 0); return 0; }
int scriptTurnPlantLightOn(lua_State*) { setSwitch(plantLighting, 498, 1); return 0; }
int scriptTurnSkyOn(lua_State*) { setSwitch(skyEnabled, 507, 1); return 0; }
int scriptTurnSkyOff(lua_State*) { setSwitch(skyEnabled, 507, 0); return 0; }
int scriptTurnNonLODPlantsOff(lua_State*) { setSwitch(showPlants, 524, 0); return 0; }
int scriptTurnNonLODPlantsOn(lua_State*) { setSwitch(showPlants, 524, 1); return 0; }
int scriptTurnLODPlantsOff(lua_State*) { setSwitch(showGrass, 527, 0); return 0; }
int scriptTurnLODPlantsOn(lua_State*) { setSwitch(showGrass, 527, 1); return 0; }

int scriptAnonymous(lua_State*) {
    anonymousMode = 1;
    return 0;
}

int scriptHideStatusBar(lua_State*) {
    destroyStatusBar();
    return 0;
}

int scriptSetTitle(lua_State* L) {
    setTitle(scriptString(L, 1));
    return 0;
}

int scriptChdir(lua_State* L) {
    const char* path = scriptString(L, 1);
    if (chdir(path) != 0) {
        // A folder that does not exist leaves the current one; scripts carry on.
    }
    return 0;
}

}  // namespace

void registerInterfaceGroup(lua_State* L) {
    registerScriptFunction(L, "testing", scriptTesting);
    registerScriptFunction(L, "setTerrainAlgorithm", scriptSetTerrainAlgorithm);
    registerScriptFunction(L, "setPlantAlgorithm", scriptSetPlantAlgorithm);
    registerScriptFunction(L, "Sleep", scriptSleep);
    registerScriptFunction(L, "hideMenus", scriptHideMenus);
    registerScriptFunction(L, "showMenus", scriptShowMenus);
    registerScriptFunction(L, "lockCamera", scriptLockCamera);
    registerScriptFunction(L, "unlockCamera", scriptUnlockCamera);
    registerScriptFunction(L, "runProgram", scriptRunProgram);
    registerScriptFunction(L, "turnTerrainLightOff", scriptTurnTerrainLightOff);
    registerScriptFunction(L, "turnTerrainLightOn", scriptTurnTerrainLightOn);
    registerScriptFunction(L, "turnTerrainMultitexturingOff", scriptTurnTerrainMultitexturingOff);
    registerScriptFunction(L, "turnTerrainMultitexturingOn", scriptTurnTerrainMultitexturingOn);
    registerScriptFunction(L, "turnTerrainOff", scriptTurnTerrainOff);
    registerScriptFunction(L, "turnTerrainOn", scriptTurnTerrainOn);
    registerScriptFunction(L, "turnPlantLightOff", scriptTurnPlantLightOff);
    registerScriptFunction(L, "turnPlantLightOn", scriptTurnPlantLightOn);
    registerScriptFunction(L, "turnSkyOn", scriptTurnSkyOn);
    registerScriptFunction(L, "turnSkyOff", scriptTurnSkyOff);
    registerScriptFunction(L, "turnNonLODPlantsOff", scriptTurnNonLODPlantsOff);
    registerScriptFunction(L, "turnNonLODPlantsOn", scriptTurnNonLODPlantsOn);
    registerScriptFunction(L, "turnLODPlantsOff", scriptTurnLODPlantsOff);
    registerScriptFunction(L, "turnLODPlantsOn", scriptTurnLODPlantsOn);
    registerScriptFunction(L, "anonymous", scriptAnonymous);
    registerScriptFunction(L, "hideStatusBar", scriptHideStatusBar);
    registerScriptFunction(L, "setTitle", scriptSetTitle);
    registerScriptFunction(L, "chdir", scriptChdir);
    registerScriptFunction(L, "getTerrainAlgorithms", scriptGetTerrainAlgorithms);
}
