// runScripts.h -- script functions of unattended runs.
//
// Provides: registerRunGroup (quietDiagnostics, isBatchRun, isHeadlessRun).
//   quietDiagnostics([on])  on (the default) silences the program's
//                           diagnostic lines (util/output.h), false brings
//                           them back
//   isBatchRun()            1 when no box or dialog waits (--batch,
//                           --headless, MORVISTA_BATCH=1), nil otherwise
//   isHeadlessRun()         1 when the view has no display (--headless)
// Main thread only.
#pragma once

struct lua_State;

void registerRunGroup(lua_State* L);
