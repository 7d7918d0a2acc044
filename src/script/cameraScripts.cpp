// cameraScripts.cpp -- placeholder: this group registers nothing yet.
#include "script/scriptFunctions.h"

void registerCameraGroup(lua_State*) {}
