// windowScripts.cpp -- script functions of the window: mode and main loop,
// console, window creation, and screen size.
//
// Provides: registerWindowModeGroup (askFullScreen, setFullScreenMode,
// setWindowMode, mainLoop, renderScene), registerConsoleGroup
// (createConsole), registerWindowSoundGroup (createWindow,
// createFullScreenWindow, setHMSize, playSound), registerScreenSizeGroup
// (setScreenSize). Main thread only; each reads all of its arguments before
// it acts. renderScene before any window was made is a script error that
// names the script.
#include <chrono>
#include <string>
#include <thread>

#include "app/input.h"
#include "app/mainLoop.h"
#include "app/sound.h"
#include "app/statusBar.h"
#include "app/window.h"
#include "platform/platform.h"
#include "scene/initScene.h"
#include "scene/sceneConfig.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"
#include "util/output.h"

namespace {

// ---- window mode and loop

int scriptAskFullScreen(lua_State*) {
    int answer = platformMessageBox("Click Yes to go to full screen (Recommended)", "Options", platformYesNo, false);
    fullScreen = answer == platformAnswerYes;
    return 0;
}

int scriptSetFullScreenMode(lua_State*) {
    fullScreen = true;
    return 0;
}

int scriptSetWindowMode(lua_State*) {
    fullScreen = false;
    return 0;
}

int scriptMainLoop(lua_State*) {
    if (!mainWindowExists()) {
        outputText("Window must be created first\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        return 0;
    }
    runMainLoop();
    return 0;
}

// File name (without folders) of the script whose code called the running
// script function; "this script" for text run as a chunk.
std::string callingScriptName(lua_State* L) {
    lua_Debug where;
    if (lua_getstack(L, 1, &where) && lua_getinfo(L, "S", &where) && where.source && where.source[0] == '@') {
        std::string path = where.source + 1;
        size_t slash = path.find_last_of('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    return "this script";
}

int scriptRenderScene(lua_State* L) {
    // Drawing frames without a window would run the script blind (no
    // frames, no screenshots): it stops at once and says why.
    // The message is pushed and its string freed before lua_error jumps out
    // (the jump runs no destructors).
    if (!mainWindowExists()) {
        {
            std::string text = callingScriptName(L) +
                               " needs the viewer: open it with File > Open, or run it after createWindow";
            lua_pushstring(L, text.c_str());
        }
        return lua_error(L);
    }
    renderScene();
    return 0;
}

// ---- console

int scriptCreateConsole(lua_State*) {
    createDebugConsole();
    return 0;
}

// ---- window

int scriptCreateWindow(lua_State* L) {
    const char* title = scriptString(L, 1);
    requireCompleteSceneFolder(L, "createWindow");
    if (!platformDisplayAvailable()) {
        // Said on standard error too: a run from a shell or a scheduler must
        // see why nothing opened.
        std::string reason = "createWindow: " + platformDisplayProblem();
        outputError((reason + "\n").c_str());
        return luaL_error(L, "%s", reason.c_str());
    }
    if (!createMainWindow(title, screenWidth, screenHeight, fullScreen, windowProcedure)) {
        return luaL_error(L, "createWindow: the window could not be opened");
    }
    initScene();
    return 0;
}

int scriptCreateFullScreenWindow(lua_State* L) {
    // Kept for old scripts: reads its arguments and does nothing.
    scriptInt(L, 1);
    scriptInt(L, 2);
    scriptInt(L, 3);
    scriptInt(L, 4);
    scriptString(L, 5);
    return 0;
}

int scriptSetHMSize(lua_State* L) {
    setHMSize(scriptInt(L, 1));
    return 0;
}

// ---- screen size

int scriptSetScreenSize(lua_State* L) {
    int width = scriptInt(L, 1);
    int height = scriptInt(L, 2);
    screenWidth = width;
    screenHeight = height;
    return 0;
}

}  // namespace

void registerWindowModeGroup(lua_State* L) {
    registerScriptFunction(L, "askFullScreen", scriptAskFullScreen);
    registerScriptFunction(L, "setFullScreenMode", scriptSetFullScreenMode);
    registerScriptFunction(L, "setWindowMode", scriptSetWindowMode);
    registerScriptFunction(L, "mainLoop", scriptMainLoop);
    registerScriptFunction(L, "renderScene", scriptRenderScene);
}

void registerConsoleGroup(lua_State* L) { registerScriptFunction(L, "createConsole", scriptCreateConsole); }

static int scriptPlaySound(lua_State* L) {
    const char* fileName = scriptString(L, 1);
    playSoundFile(fileName);
    return 0;
}

void registerWindowSoundGroup(lua_State* L) {
    registerScriptFunction(L, "createWindow", scriptCreateWindow);
    registerScriptFunction(L, "createFullScreenWindow", scriptCreateFullScreenWindow);
    registerScriptFunction(L, "setHMSize", scriptSetHMSize);
    registerScriptFunction(L, "playSound", scriptPlaySound);
}

void registerScreenSizeGroup(lua_State* L) { registerScriptFunction(L, "setScreenSize", scriptSetScreenSize); }
