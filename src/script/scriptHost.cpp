// scriptHost.cpp -- placeholder host: plain Lua state, unprotected output.
#include "script/scriptHost.h"

#include <lua.hpp>

#include "util/output.h"

ScriptHost* scriptHost = nullptr;

ScriptHost* createScriptHost() {
    ScriptHost* host = new ScriptHost;
    host->luaState = luaL_newstate();
    luaL_openlibs(host->luaState);
    return host;
}

int runScriptFile(ScriptHost* host, const char* fileName) {
    int result = luaL_dofile(host->luaState, fileName);
    if (result != 0) outputPrintf("Sorry could not run %s.\n", fileName);
    return result;
}

int runScriptChunk(ScriptHost* host, const char* text) { return luaL_dostring(host->luaState, text); }

void hostOutput(const char* text) { outputText(text); }
