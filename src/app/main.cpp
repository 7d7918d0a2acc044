// main.cpp -- process entry: picks the start script and runs it.
#include "script/scriptFunctions.h"
#include "script/scriptHost.h"

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    scriptHost = createScriptHost();
    registerScriptFunctions(scriptHost);
    return runScriptFile(scriptHost, "init.lua") == 0 ? 0 : 1;
}
