// sceneScripts.cpp -- script functions that choose where the scene is read.
//
// Provides: registerSceneFolderGroup (setSceneFolder, getSceneRecord) and
// requireCompleteSceneFolder, the check createWindow makes before it opens
// the window. Main thread only.
#include <cstdio>
#include <string>

#include "app/startup.h"
#include "app/window.h"
#include "scene/sceneConfig.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"
#include "util/checksum.h"
#include "util/output.h"

namespace {

// setSceneFolder(path): the scene's files are read from path from now on
// (relative paths from the folder the program was started in). Only before
// createWindow: the scene is built once.
int scriptSetSceneFolder(lua_State* L) {
    const char* path = scriptString(L, 1);
    char message[1200] = "";
    if (mainWindowExists()) {
        snprintf(message, sizeof message, "setSceneFolder: the scene is already built; call it before createWindow");
    } else {
        std::string error;
        if (!chooseSceneFolder(path, startFolder, error))
            snprintf(message, sizeof message, "setSceneFolder: %s", error.c_str());
    }
    if (message[0]) return luaL_error(L, "%s", message);
    return 0;
}

// getSceneRecord(): which scene the run sees, for run records. Returns the
// scene folder (as chosen, or "default" for the scene beside the program),
// the height file of the current map size as it is opened, and the CRC-32 of
// that file as eight hexadecimal digits (nil when it cannot be read).
int scriptGetSceneRecord(lua_State* L) {
    const std::string path = scenePath(sceneRow(heightmapSize).heightFile);
    lua_pushstring(L, sceneFolder.empty() ? "default" : sceneFolder.c_str());
    lua_pushstring(L, path.c_str());
    uint32_t crc = 0;
    if (fileCrc32(path, crc))
        lua_pushstring(L, crc32Text(crc).c_str());
    else
        lua_pushnil(L);
    return 3;
}

}  // namespace

int requireCompleteSceneFolder(lua_State* L, const char* caller) {
    if (sceneFolder.empty()) return 0;
    char message[1200] = "";
    {
        std::vector<std::string> missing = missingSceneFiles(heightmapSize);
        std::string list;
        for (const std::string& name : missing) list += (list.empty() ? "" : ", ") + name;
        if (!missing.empty())
            snprintf(message, sizeof message, "%s: scene folder %s is incomplete: missing %s", caller,
                     sceneFolder.c_str(), list.c_str());
    }
    if (!message[0]) return 0;
    // Standard error too: a start that cannot build its scene is seen even
    // without the console.
    outputError(message);
    outputError("\n");
    return luaL_error(L, "%s", message);
}

void registerSceneFolderGroup(lua_State* L) {
    registerScriptFunction(L, "setSceneFolder", scriptSetSceneFolder);
    registerScriptFunction(L, "getSceneRecord", scriptGetSceneRecord);
}
