// main.cpp -- process entry: program folder, start script, script host, run.
// The exit code is 0 when the start script ran to its end and 1 when it
// could not be run (app/startup.h); a stopped start script is described
// there too.
#include "app/startup.h"
#include "script/scriptFunctions.h"
#include "script/scriptHost.h"
#include "script/runScripts.h"
#include "script/scriptStop.h"

int main(int argc, char** argv) {
    if (!prepareStart(argc, argv)) return 1;
    scriptHost = createScriptHost();
    registerScriptFunctions(scriptHost);
    registerRunGroup(scriptHost->luaState);
    if (startOptions.batch) installStopSignals();
    return runStartScript(scriptHost);
}
