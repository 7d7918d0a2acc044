// interfaceScripts.cpp -- placeholder: this group registers nothing yet.
#include "script/scriptFunctions.h"

void registerInterfaceGroup(lua_State*) {}
