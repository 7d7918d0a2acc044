// scriptHost.h -- the one Lua state of the process and how scripts run.
//
// Provides: ScriptHost, scriptHost, createScriptHost, runScriptFile,
// runScriptChunk, hostOutput.
// All scripts run synchronously on the main thread; one state serves every
// script, so globals persist from one script to the next. Every call into
// Lua is protected: a script error ends that script, never the process.
// (Placeholder until the script host lands: the interface below is fixed.)
#pragma once

struct lua_State;

struct ScriptHost {
    lua_State* luaState = nullptr;
};

extern ScriptHost* scriptHost;  // created at start-up, never destroyed

ScriptHost* createScriptHost();
// 0 on success; otherwise prints "Sorry could not run %s.\n".
int runScriptFile(ScriptHost* host, const char* fileName);
int runScriptChunk(ScriptHost* host, const char* text);
void hostOutput(const char* text);
