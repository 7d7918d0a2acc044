// startup.cpp -- program folder, start script choice and run; see startup.h.
#include "app/startup.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "app/mainLoop.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "script/scriptHost.h"
#include "util/output.h"
#include "util/text.h"

char startScriptName[startTextLimit] = "init.lua";
int inlineChunk = 0;
std::string startFolder;
StartOptions startOptions;

int readStartOptions(int argc, char** argv, StartOptions& options) {
    const char* batch = getenv("MORVISTA_BATCH");
    if (batch && strcmp(batch, "1") == 0) options.batch = true;
    int i = 1;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--batch") == 0) options.batch = true;
        else if (strcmp(argv[i], "--headless") == 0) options.headless = true;
        else if (strcmp(argv[i], "--quiet") == 0) options.quiet = true;
        else if (strcmp(argv[i], "--verbose") == 0) options.verbose = true;
        else break;
    }
    if (options.headless) options.batch = true;
    return i;
}

void applyStartOptions(const StartOptions& options) {
    platformSetBatchMode(options.batch);
    platformSetHeadless(options.headless);
    quietDiagnostics(!options.verbose && (options.quiet || options.batch));
}

bool joinArgumentText(int argc, char** argv, char* text) {
    size_t length = 0;
    text[0] = '\0';
    for (int i = 1; i < argc; ++i) {
        size_t piece = strlen(argv[i]);
        size_t needed = length + (i > 1 ? 1 : 0) + piece;
        if (needed > startTextLimit - 1) {
            text[0] = '\0';
            return false;
        }
        if (i > 1) text[length++] = ' ';
        memcpy(text + length, argv[i], piece);
        length += piece;
        text[length] = '\0';
    }
    return true;
}

void chooseStartScript(const char* argumentText) {
    strcpy(startScriptName, "init.lua");
    inlineChunk = 0;
    bool namesScript = findText(argumentText, ".lua") >= 0;
    bool chunk = findText(argumentText, ";") >= 0;
    if (namesScript && chunk) {
        // Text such as 'BENCH_FRAMES=40; dofile("benchmark.lua")': a chunk,
        // unless a file has that very name.
        std::string path = locateStartScript(argumentText);
        namesScript = access(path.c_str(), F_OK) == 0;
    }
    if (namesScript) {
        snprintf(startScriptName, sizeof startScriptName, "%s", argumentText);
    } else if (chunk) {
        inlineChunk = 1;
        snprintf(startScriptName, sizeof startScriptName, "%s", argumentText);
    }
}

std::string argumentIgnoredLine(const char* argumentText) {
    if (!argumentText[0] || findText(argumentText, ".lua") >= 0 || findText(argumentText, ";") >= 0) return "";
    return std::string("Ignored the arguments \"") + argumentText +
           "\": neither a .lua script nor a script chunk (with \";\"); running init.lua\n";
}

void enterProgramFolder() {
    char path[PATH_MAX + 1];
    startFolder.clear();
    if (getcwd(path, sizeof path)) startFolder = path;
    ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) return;
    path[length] = '\0';
    char* slash = strrchr(path, '/');
    if (!slash) return;
    slash[slash == path ? 1 : 0] = '\0';  // the root folder keeps its slash
    if (chdir(path) != 0) return;
}

std::string locateStartScript(const char* name) {
    if (name[0] == '/' || access(name, F_OK) == 0 || startFolder.empty()) return name;
    std::string besideUser = startFolder + "/" + name;
    if (access(besideUser.c_str(), F_OK) == 0) return besideUser;
    return name;
}

bool prepareStart(int argc, char** argv) {
    strcpy(startScriptName, "init.lua");
    inlineChunk = 0;
    enterProgramFolder();
    startOptions = StartOptions{};
    int first = readStartOptions(argc, argv, startOptions);
    applyStartOptions(startOptions);
    char argumentText[startTextLimit];
    // argv[first - 1] stands in for the program name.
    if (!joinArgumentText(argc - first + 1, argv + first - 1, argumentText)) {
        const char* message = "The argument text is longer than 999 characters; nothing was run.\n";
        outputText(message);
        outputError(message);
        return false;
    }
    chooseStartScript(argumentText);
    std::string ignored = argumentIgnoredLine(argumentText);
    if (!ignored.empty()) outputError(ignored.c_str());
    return chooseSceneFolderFromEnvironment();
}

bool chooseSceneFolderFromEnvironment() {
    const char* folder = getenv("MORVISTA_SCENE");
    if (!folder || !folder[0]) return true;
    std::string error;
    if (chooseSceneFolder(folder, startFolder, error)) return true;
    std::string message = "MORVISTA_SCENE: " + error + "; nothing was run.\n";
    outputText(message.c_str());
    outputError(message.c_str());
    return false;
}

int exitCodeAfterStop(int stop) {
    if (stop > 0) return 128 + stop;  // ended by a signal, as the shell would say
    if (startOptions.batch || !platformHasMainWindow()) return 1;
    // Stopped with the key: the viewer goes on where the script left it.
    return runMainLoop();
}

int runStartScript(ScriptHost* host) {
    if (inlineChunk) {
        if (runScriptChunk(host, startScriptName) == 0) return 0;
        return lastScriptStop() ? exitCodeAfterStop(lastScriptStop()) : 1;
    }
    std::string path = locateStartScript(startScriptName);
    if (runScriptFileAs(host, path.c_str(), startScriptName) == 0) return 0;
    if (lastScriptStop()) return exitCodeAfterStop(lastScriptStop());
    // runScriptFileAs printed the line on standard output; standard error
    // gets it too, so a failed start is seen even without a console.
    char message[startTextLimit + 64];
    snprintf(message, sizeof message, "Sorry could not run %s.\n", startScriptName);
    outputError(message);
    return 1;
}
