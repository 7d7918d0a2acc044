// scriptArgs.cpp -- argument and result helpers; see scriptArgs.h.
#include "script/scriptArgs.h"

#include <cmath>

#include "script/luaCompat.h"

void registerScriptFunction(lua_State* L, const char* name, lua_CFunction function) {
    lua_register(L, name, function);
}

float scriptNumber(lua_State* L, int i) { return static_cast<float>(luaL_checknumber(L, i)); }

int scriptInt(lua_State* L, int i) {
    double value = std::trunc(static_cast<double>(luaL_checknumber(L, i)));
    if (!(value >= -2147483648.0 && value <= 2147483647.0)) {
        luaL_argerror(L, i, "number out of integer range");
    }
    return static_cast<int>(value);
}

const char* scriptString(lua_State* L, int i) {
    // A number becomes text as Lua 4.0 wrote it (42, not 42.0); the text
    // replaces the argument so it stays alive while the function runs.
    i = lua_absindex(L, i);
    if (lua_type(L, i) == LUA_TNUMBER) {
        pushNumberText(L, i);
        lua_replace(L, i);
    }
    return luaL_checkstring(L, i);
}

void pushScriptNumber(lua_State* L, double value) { lua_pushnumber(L, value); }

void pushScriptInteger(lua_State* L, long long value) { lua_pushinteger(L, value); }
