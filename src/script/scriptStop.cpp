// scriptStop.cpp -- the stop request and the hook that acts on it; see
// scriptStop.h.
#include "script/scriptStop.h"

#include <lua.hpp>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "util/output.h"

namespace {

std::atomic<int> stopRequest{0};  // any thread, signal handlers
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> stoppingReason{0};  // the stop being unwound (main thread; read by the handler)

const int hookInstructions = 1000;

void stopHook(lua_State* L, lua_Debug*) {
    if (stoppingReason.load() == 0) {
        int reason = stopRequest.exchange(0);
        if (reason == 0) return;
        stoppingReason.store(reason);
    }
    lua_pushstring(L, "Script stopped by the user");
    lua_error(L);
}

void onStopSignal(int signalNumber) {
    int earlier = 0;
    if (!stopRequest.compare_exchange_strong(earlier, signalNumber) || stoppingReason.load() != 0) {
        _exit(128 + signalNumber);  // asked twice: no waiting for the script
    }
}

}  // namespace

void requestScriptStop(int reason) { stopRequest.store(reason); }
int pendingScriptStop() { return stopRequest.load(); }
void discardScriptStop() {
    // A signal is kept: it ends a batch run even when no script runs.
    int key = stopByKey;
    stopRequest.compare_exchange_strong(key, 0);
}
bool scriptStopping() { return stoppingReason.load() != 0; }

int takeScriptStop() {
    int reason = stoppingReason.exchange(0);
    if (reason != 0) outputText("Script stopped by the user\n");
    return reason;
}

void installScriptStopHook(lua_State* L) { lua_sethook(L, stopHook, LUA_MASKCOUNT, hookInstructions); }

namespace {

// pcall and xpcall as the base library has them, except that a stop is
// passed on instead of being caught.
int stopAwareCall(lua_State* L) {
    int arguments = lua_gettop(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, arguments, LUA_MULTRET);
    if (scriptStopping()) {
        lua_pushstring(L, "Script stopped by the user");
        return lua_error(L);
    }
    return lua_gettop(L);
}

}  // namespace

void makeProtectedCallsStopAware(lua_State* L) {
    for (const char* name : {"pcall", "xpcall"}) {
        if (lua_getglobal(L, name) != LUA_TFUNCTION) {
            lua_pop(L, 1);
            continue;
        }
        lua_pushcclosure(L, stopAwareCall, 1);
        lua_setglobal(L, name);
    }
}

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
