// splineScripts.cpp -- placeholder: this group registers nothing yet.
#include "script/scriptFunctions.h"

void registerSplineGroup(lua_State*) {}
