// measureScripts.cpp -- placeholder: this group registers nothing yet.
#include "script/scriptFunctions.h"

void registerMeasurementGroup(lua_State*) {}
