// scriptHost.cpp -- the Lua state, protected runs and the host functions.
//
// Libraries: base, io, string, math and table are opened as globals; os is
// opened only to lend its functions to the Lua 4.0 names (remove, date, ...)
// and is not a global. The debug and package libraries are not opened.
// Script files and chunks are loaded as text only: a precompiled chunk is
// refused, since a damaged one can bring the whole process down.
#include "script/scriptHost.h"

#include <lua.hpp>

#include <string>

#include "platform/platform.h"
#include "script/luaCompat.h"
#include "script/scriptArgs.h"
#include "script/scriptStop.h"
#include "util/output.h"

ScriptHost* scriptHost = nullptr;

void hostOutput(const char* text) { outputText(text); }

// ---------------------------------------------------------------------------
// Error reporting

static int messageHandler(lua_State* L) {
    const char* message = lua_tostring(L, 1);
    if (!message) {
        if (luaL_callmeta(L, 1, "__tostring") && lua_type(L, -1) == LUA_TSTRING) {
            message = lua_tostring(L, -1);
        } else {
            message = lua_pushfstring(L, "(error object is a %s value)", luaL_typename(L, 1));
        }
    }
    luaL_traceback(L, L, message, 1);
    return 1;
}

int protectedCall(lua_State* L, int nargs, int nresults) {
    int handler = lua_gettop(L) - nargs;
    lua_pushcfunction(L, messageHandler);
    lua_insert(L, handler);
    int status = lua_pcall(L, nargs, nresults, handler);
    lua_remove(L, handler);
    return status;
}

// Default _ERRORMESSAGE(message): "error: <message>\n" through _ALERT.
static int defaultErrorMessage(lua_State* L) {
    const char* message = luaL_checkstring(L, 1);
    lua_pushfstring(L, "error: %s\n", message);
    if (lua_getglobal(L, "_ALERT") == LUA_TFUNCTION) {
        lua_pushvalue(L, -2);
        lua_call(L, 1, 0);
    } else {
        hostOutput(lua_tostring(L, -2));
    }
    return 0;
}

static int reportThroughScript(lua_State* L) {
    if (lua_getglobal(L, "_ERRORMESSAGE") != LUA_TFUNCTION) {
        lua_pop(L, 1);
        lua_pushcfunction(L, defaultErrorMessage);
    }
    lua_pushvalue(L, 1);
    lua_call(L, 1, 0);
    return 0;
}

void reportScriptError(lua_State* L, const char* message) {
    if (scriptStopping()) return;  // a stop is no error; its line comes when it has unwound
    if (!message) message = "(no error message)";
    int top = lua_gettop(L);
    lua_pushcfunction(L, reportThroughScript);
    lua_pushstring(L, message);
    if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
        const char* second = lua_tostring(L, -1);
        outputPrintf("error: %s\nerror: %s\n", message, second ? second : "(error while reporting an error)");
    }
    lua_settop(L, top);
}

// ---------------------------------------------------------------------------
// Running scripts

// Loads the file named by argument 1 (text only) and returns the chunk, or
// raises the load error as a plain message.
static int loadFileChunk(lua_State* L) {
    if (luaL_loadfilex(L, lua_tostring(L, 1), "t") != LUA_OK) return lua_error(L);
    return 1;
}

// Loads argument 1 as script text named by argument 2.
static int loadTextChunk(lua_State* L) {
    size_t length = 0;
    const char* text = lua_tolstring(L, 1, &length);
    if (luaL_loadbufferx(L, text, length, lua_tostring(L, 2), "t") != LUA_OK) return lua_error(L);
    return 1;
}

// Runs the loader on the stack (with its arguments), then the chunk it
// returns, both protected. Reports an error; returns the status.
static std::string lastError;  // see lastScriptError
static int lastStop = 0;        // see lastScriptStop

static int loadAndRun(lua_State* L, int loaderArgs) {
    int status = lua_pcall(L, loaderArgs, 1, 0);
    if (status == LUA_OK) status = protectedCall(L, 0, 0);
    // A stop caught on the way (dofile and pcall report errors and go on)
    // may let the chunk end normally: it was stopped all the same.
    lastStop = takeScriptStop();
    if (lastStop != 0) {
        lastError = "Script stopped by the user";
        status = LUA_ERRRUN;
    } else if (status != LUA_OK) {
        const char* message = lua_tostring(L, -1);
        lastError = message ? message : "(no error message)";
        size_t traceback = lastError.find("\nstack traceback:");
        if (traceback != std::string::npos) lastError.erase(traceback);
        reportScriptError(L, message);
    }
    return status;
}

const char* lastScriptError() { return lastError.c_str(); }
int lastScriptStop() { return lastStop; }

int runScriptFileAs(ScriptHost* host, const char* path, const char* displayName) {
    if (!path) path = "";
    if (!displayName) displayName = path;
    int status = LUA_ERRRUN;
    if (host && host->luaState) {
        lua_State* L = host->luaState;
        int top = lua_gettop(L);
        lua_pushcfunction(L, loadFileChunk);
        lua_pushstring(L, path);
        status = loadAndRun(L, 1);
        lua_settop(L, top);
    }
    if (status != LUA_OK && lastStop == 0) outputPrintf("Sorry could not run %s.\n", displayName);
    return status;
}

int runScriptFile(ScriptHost* host, const char* fileName) { return runScriptFileAs(host, fileName, fileName); }

int runScriptChunk(ScriptHost* host, const char* text) {
    if (!host || !host->luaState) return LUA_ERRRUN;
    if (!text) text = "";
    lua_State* L = host->luaState;
    int top = lua_gettop(L);
    lua_pushcfunction(L, loadTextChunk);
    lua_pushstring(L, text);
    lua_pushstring(L, text);  // the chunk is named by its own text
    int status = loadAndRun(L, 2);
    lua_settop(L, top);
    return status;
}

// ---------------------------------------------------------------------------
// The host's own functions

static int scriptAddOne(lua_State* L) {
    if (lua_isinteger(L, 1)) {
        lua_Integer n = lua_tointeger(L, 1);
        pushScriptInteger(L, static_cast<lua_Integer>(static_cast<lua_Unsigned>(n) + 1u));
    } else {
        pushScriptNumber(L, luaL_checknumber(L, 1) + 1);
    }
    return 1;
}

static int scriptMessageBox(lua_State* L) {
    const char* text = scriptString(L, 1);
    platformMessageBox(text, "", platformOk, false);
    return 0;
}

static int scriptMessageBoxTitle(lua_State* L) {
    const char* text = scriptString(L, 1);
    const char* caption = scriptString(L, 2);
    platformMessageBox(text, caption, platformOk, false);
    return 0;
}

// _ALERT(text): the library's alert output, straight to the host output.
static int scriptAlert(lua_State* L) {
    hostOutput(luaL_checkstring(L, 1));
    return 0;
}

static int panicHandler(lua_State* L) {
    const char* message = lua_tostring(L, -1);
    outputPrintf("Script host: unprotected error: %s\n", message ? message : "(no message)");
    outputError("Script host: unprotected error\n");
    return 0;  // the library aborts
}

static int openHost(lua_State* L) {
    luaL_requiref(L, LUA_GNAME, luaopen_base, 1);
    luaL_requiref(L, LUA_IOLIBNAME, luaopen_io, 1);
    luaL_requiref(L, LUA_STRLIBNAME, luaopen_string, 1);
    luaL_requiref(L, LUA_MATHLIBNAME, luaopen_math, 1);
    luaL_requiref(L, LUA_TABLIBNAME, luaopen_table, 1);
    luaL_requiref(L, LUA_OSLIBNAME, luaopen_os, 0);
    lua_settop(L, 0);
    openLuaCompat(L);  // print, write, tostring and the Lua 4.0 names
    registerScriptFunction(L, "_ALERT", scriptAlert);
    registerScriptFunction(L, "_ERRORMESSAGE", defaultErrorMessage);
    registerScriptFunction(L, "addone", scriptAddOne);
    registerScriptFunction(L, "messageBox", scriptMessageBox);
    registerScriptFunction(L, "messageBoxTitle", scriptMessageBoxTitle);
    return 0;
}

ScriptHost* createScriptHost() {
    ScriptHost* host = new ScriptHost;
    lua_State* L = luaL_newstate();
    host->luaState = L;
    if (!L) {
        outputError("Script host: not enough memory for the script state\n");
        return host;
    }
    lua_atpanic(L, panicHandler);
    installScriptStopHook(L);
    lua_pushcfunction(L, openHost);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
        const char* message = lua_tostring(L, -1);
        outputPrintf("Script host: could not open the libraries: %s\n", message ? message : "(no message)");
        lua_settop(L, 0);
    }
    makeProtectedCallsStopAware(L);
    return host;
}

void destroyScriptHost(ScriptHost* host) {
    if (!host) return;
    if (host->luaState) lua_close(host->luaState);
    delete host;
}
