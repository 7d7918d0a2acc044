// runScripts.cpp -- script functions of unattended runs; see runScripts.h.
#include "script/runScripts.h"

#include <lua.hpp>

#include "platform/platform.h"
#include "script/scriptArgs.h"
#include "util/output.h"

namespace {

int scriptQuietDiagnostics(lua_State* L) {
    bool on = lua_isnoneornil(L, 1) || lua_toboolean(L, 1);
    quietDiagnostics(on);
    return 0;
}

int pushFlag(lua_State* L, bool flag) {
    if (flag) pushScriptInteger(L, 1);
    else lua_pushnil(L);
    return 1;
}

int scriptIsBatchRun(lua_State* L) { return pushFlag(L, platformBatchMode()); }
int scriptIsHeadlessRun(lua_State* L) { return pushFlag(L, platformHeadless()); }

}  // namespace

void registerRunGroup(lua_State* L) {
    if (!L) return;
    registerScriptFunction(L, "quietDiagnostics", scriptQuietDiagnostics);
    registerScriptFunction(L, "isBatchRun", scriptIsBatchRun);
    registerScriptFunction(L, "isHeadlessRun", scriptIsHeadlessRun);
}
