// scriptArgs.h -- reading arguments and pushing results in script functions.
//
// Provides: registerScriptFunction, scriptNumber, scriptInt, scriptString,
// pushScriptNumber, pushScriptInteger.
// Every script function is a thin adapter: read its arguments first (a
// missing or wrong-typed argument raises a script error, which the host
// reports on the console and which ends only that script), then act, then
// push results and return their count. Raise errors only before creating
// C++ objects with destructors: a script error unwinds with longjmp.
#pragma once

#include <lua.hpp>

void registerScriptFunction(lua_State* L, const char* name, lua_CFunction function);

// Argument i as a float; a script error when missing or not a number.
float scriptNumber(lua_State* L, int i);
// Argument i truncated toward zero; a script error when missing or not a number.
int scriptInt(lua_State* L, int i);
// Argument i as text; a script error when missing or not a string/number.
// A number becomes text as Lua 4.0 wrote it ("%.14g": 42, not 42.0).
const char* scriptString(lua_State* L, int i);

void pushScriptNumber(lua_State* L, double value);
void pushScriptInteger(lua_State* L, long long value);
