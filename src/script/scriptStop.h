// scriptStop.h -- stopping a running script from outside it.
//
// Provides: stopByKey, requestScriptStop, pendingScriptStop,
// discardScriptStop, scriptStopping, takeScriptStop, installScriptStopHook,
// makeProtectedCallsStopAware,
// installStopSignals, scriptStopKey.
// A stop is asked for by the stop key (Pause, handled by the window
// procedure) or, in batch runs, by SIGINT or SIGTERM. The running script
// ends at its next instruction with the line "Script stopped by the user":
// a count hook on the Lua state raises an error, and keeps raising it while
// the stop unwinds; pcall, xpcall, call and dofile pass it on instead of
// catching it, and errors are not reported meanwhile. The outermost run that ends takes
// the stop (takeScriptStop) and prints the line.
// Threads: requestScriptStop from any thread and from signal handlers (it
// only stores a lock-free atomic); everything else on the main thread.
#pragma once

struct lua_State;

constexpr int stopByKey = -1;  // other reasons: the signal's number
constexpr int scriptStopKey = 0x13;  // virtual key of Pause

void requestScriptStop(int reason);
// The stop asked for and not yet acted on (0 when none).
int pendingScriptStop();
// Forgets a stop asked for while no script ran (the viewer at rest).
void discardScriptStop();
// True while a stop unwinds the running script.
bool scriptStopping();
// Ends the unwinding: returns its reason (0 when none) and prints the line.
int takeScriptStop();
void installScriptStopHook(lua_State* L);
// Wraps the global pcall and xpcall (once the libraries are open) so that
// they hand a stop on instead of catching it.
void makeProtectedCallsStopAware(lua_State* L);
// Batch runs: SIGINT and SIGTERM ask for a stop; a second one ends the
// process at once with 128 + the signal's number.
void installStopSignals();
