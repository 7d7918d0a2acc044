// windowScripts.cpp -- placeholder: this group registers nothing yet.
#include "script/scriptFunctions.h"

void registerWindowModeGroup(lua_State*) {}
void registerConsoleGroup(lua_State*) {}
void registerWindowSoundGroup(lua_State*) {}
void registerScreenSizeGroup(lua_State*) {}
