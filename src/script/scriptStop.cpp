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

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
