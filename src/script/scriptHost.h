// scriptHost.h -- the one Lua state of the process and how scripts run.
//
// Provides: ScriptHost, scriptHost, createScriptHost, destroyScriptHost,
// runScriptFile, runScriptFileAs, runScriptChunk, lastScriptError,
// lastScriptStop,
// hostOutput, protectedCall, reportScriptError.
// All scripts run synchronously on the main thread; one state serves every
// script, so globals persist from one script to the next. The state opens
// the base, io, string, math and table libraries plus the Lua 4.0 global
// names (luaCompat.h), and defines the host's own functions "addone",
// "messageBox" and "messageBoxTitle". print, write and _ALERT write through
// hostOutput.
// Every call into Lua is protected: a script error (including a missing or
// wrong-typed argument of a script function) ends that script, its text
// goes to the host output as "error: <message>" with a stack traceback, and
// the caller continues.
// `scriptHost` is written once by start-up on the main thread; everything
// here is main-thread only.
#pragma once

struct lua_State;

struct ScriptHost {
    lua_State* luaState = nullptr;
};

extern ScriptHost* scriptHost;  // created at start-up, never destroyed

ScriptHost* createScriptHost();

// Closes the state (running its finalisers: files scripts left open are
// closed) and frees the host. The program never does (its host lives until
// the process ends); test programs free each host they create.
void destroyScriptHost(ScriptHost* host);

// Runs a script file. 0 on success; otherwise the error text goes to the
// host output followed by "Sorry could not run <fileName>.\n" and the
// library's error code is returned.
int runScriptFile(ScriptHost* host, const char* fileName);
// As runScriptFile, reading the file at path but naming it displayName in
// the "Sorry could not run" line (start-up runs a script found elsewhere
// under the name the user gave).
int runScriptFileAs(ScriptHost* host, const char* path, const char* displayName);
// Runs a chunk of script text. 0 on success; otherwise only the error text
// goes to the host output.
int runScriptChunk(ScriptHost* host, const char* text);
// The error that ended the last script that failed (run by the three
// functions above), without its stack traceback; "" before any failed.
const char* lastScriptError();
// Why the last script run ended by a stop (scriptStop.h: stopByKey or the
// signal's number); 0 when it was not stopped. A stopped run prints
// "Script stopped by the user" and no "Sorry could not run" line.
int lastScriptStop();

// The output hook of every script text: written unchanged (no prefix, no
// line end added) through util/output.
void hostOutput(const char* text);

// lua_pcall of the function below the nargs arguments on top of the stack,
// with a message handler that adds a stack traceback. Leaves the results,
// or the error text, exactly as lua_pcall does.
int protectedCall(lua_State* L, int nargs, int nresults);

// Shows a script error as the host does: through the script's
// _ERRORMESSAGE, whose default writes "error: <message>\n" through _ALERT.
// If those fail or are not functions, the text goes straight to the host
// output, so an error is never lost. Never raises.
void reportScriptError(lua_State* L, const char* message);
