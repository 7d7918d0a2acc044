// luaCompat.h -- the Lua 4.0 global names on the Lua 5.4 state.
//
// Provides: openLuaCompat, pushNumberText.
// Scripts written for the Lua 4.0 libraries run unchanged wherever their
// syntax is also Lua 5.4 syntax. openLuaCompat (called once by the script
// host, after the base, io, string, math, table and os libraries are
// loaded) defines, as globals with their 4.0 meaning:
//   strings  strlen strsub strlower strupper strchar strrep strbyte ascii
//            strfind format gsub
//   math     abs ceil floor mod sqrt min max log log10 exp frexp ldexp
//            random randomseed PI deg rad, and sin cos tan asin acos atan
//            atan2 taking and returning degrees
//   tables   getn tinsert tremove sort foreach foreachi call dostring dofile
//   files    readfrom writeto appendto read write remove rename tmpname
//            getenv date clock execute exit
// and replaces print and tostring. Numbers become text as Lua 4.0 wrote
// them ("%.14g": 42.0 prints as 42) in print, write, tostring, format's %s
// and in the text arguments of script functions. Where 4.0 took an integer
// (an index, a count, a character code) a fractional number is truncated
// toward zero instead of being refused. write goes to the file opened with
// writeto/appendto and otherwise to the host output; io.write does the same.
// dostring, dofile and call(..., "x") catch their errors, report them and
// return nil, as in 4.0. README.md lists the differences that remain.
// Main thread only.
#pragma once

struct lua_State;

void openLuaCompat(lua_State* L);

// Pushes the text of the number at index as Lua 4.0 wrote it (integers in
// full, other numbers with "%.14g") and returns it.
const char* pushNumberText(lua_State* L, int index);
