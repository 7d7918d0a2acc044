// overlayScripts.cpp -- the view text group of script functions.
//
// Provides: registerOverlayGroup, registering in this order: setViewNotice,
// getOverlayText.
//   setViewNotice(text)  one line in a corner of the view ("" clears it);
//                        never in screenshots, polygon counts or frame times
//   getOverlayText()     the text drawn over the view in the last frame:
//                        the key table, the information corner and the
//                        notice, one line each, joined by "\n" ("" for none)
// Main thread only.
#include <lua.hpp>

#include "app/overlay.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"

namespace {
int scriptSetViewNotice(lua_State* L) {
    setViewNotice(scriptString(L, 1));
    return 0;
}

int scriptGetOverlayText(lua_State* L) {
    const std::string& text = lastOverlayText();
    lua_pushlstring(L, text.data(), text.size());
    return 1;
}
}  // namespace

void registerOverlayGroup(lua_State* L) {
    registerScriptFunction(L, "setViewNotice", scriptSetViewNotice);
    registerScriptFunction(L, "getOverlayText", scriptGetOverlayText);
}
