// luaCompat.cpp -- Lua 4.0 global names and number printing; see luaCompat.h.
//
// The library functions the names stand for are taken once, when the state
// is opened, and kept in a registry table: a script that replaces
// string.format or io.output does not change what format or write do.
#include "script/luaCompat.h"

#include <sys/wait.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <lua.hpp>

#include "script/scriptHost.h"
#include "script/scriptStop.h"

namespace {

constexpr const char* savedLibraryKey = "morvista.savedLibrary";
constexpr double degreesPerRadian = 180.0 / 3.14159265358979323846;
constexpr double radiansPerDegree = 3.14159265358979323846 / 180.0;

void pushSaved(lua_State* L, const char* name) {
    lua_getfield(L, LUA_REGISTRYINDEX, savedLibraryKey);
    lua_getfield(L, -1, name);
    lua_remove(L, -2);
}

// Calls a saved function with the nargs values on top of the stack.
void callSaved(lua_State* L, const char* name, int nargs, int nresults) {
    pushSaved(L, name);
    lua_insert(L, -nargs - 1);
    lua_call(L, nargs, nresults);
}

int formatNumber(lua_State* L, int index, char* buffer, size_t size) {
    if (lua_isinteger(L, index)) return snprintf(buffer, size, LUA_INTEGER_FMT, lua_tointeger(L, index));
    return snprintf(buffer, size, "%.14g", static_cast<double>(lua_tonumber(L, index)));
}

// Whether the value at index is a number (or numeric text) without an
// integer value that fits: such arguments are truncated where 4.0 did.
bool needsTruncation(lua_State* L, int index) { return lua_isnumber(L, index) && !lua_isinteger(L, index); }

// Replaces a fractional number at index by its integer part. A value that
// does not fit is left alone for the library to refuse.
void truncateArgument(lua_State* L, int index) {
    if (!needsTruncation(L, index)) return;
    double value = std::trunc(static_cast<double>(lua_tonumber(L, index)));
    if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) {
        lua_pushinteger(L, static_cast<lua_Integer>(value));
        lua_replace(L, index);
    }
}

// An integer argument the way 4.0 read one: any number, truncated.
lua_Integer integerArgument(lua_State* L, int index) {
    double value = std::trunc(static_cast<double>(luaL_checknumber(L, index)));
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) {
        luaL_argerror(L, index, "number has no integer representation");
    }
    return static_cast<lua_Integer>(value);
}

luaL_Stream* fileArgument(lua_State* L, int index) {
    return static_cast<luaL_Stream*>(luaL_testudata(L, index, LUA_FILEHANDLE));
}

FILE* openFile(lua_State* L, luaL_Stream* stream) {
    if (!stream || !stream->closef) luaL_error(L, "attempt to use a closed file");
    return stream->f;
}

// ---------------------------------------------------------------------------
// print, tostring, _ALERT-style output

int compatToString(lua_State* L) {
    luaL_checkany(L, 1);
    if (lua_type(L, 1) == LUA_TNUMBER) {
        pushNumberText(L, 1);
        return 1;
    }
    lua_settop(L, 1);
    callSaved(L, "tostring", 1, 1);
    return 1;
}

// print(...): each argument through the global tostring, separated by tabs,
// ended by a line feed, written as one piece.
int compatPrint(lua_State* L) {
    int count = lua_gettop(L);
    luaL_Buffer buffer;
    luaL_buffinit(L, &buffer);
    for (int i = 1; i <= count; ++i) {
        lua_getglobal(L, "tostring");
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        if (lua_type(L, -1) != LUA_TSTRING) return luaL_error(L, "'tostring' must return a string to 'print'");
        if (i > 1) luaL_addchar(&buffer, '\t');
        luaL_addvalue(&buffer);
    }
    luaL_addchar(&buffer, '\n');
    luaL_pushresult(&buffer);
    hostOutput(lua_tostring(L, -1));
    return 0;
}

// ---------------------------------------------------------------------------
// Files

// write([file,] ...): strings and numbers, no separator, no line end. To
// the given file, else to the current output: a file opened with
// writeto/appendto, or the host output while that is standard output.
int compatWrite(lua_State* L) {
    int count = lua_gettop(L);
    int first = 1;
    int handle = 1;
    luaL_Stream* stream = fileArgument(L, 1);
    if (stream) {
        first = 2;
    } else {
        callSaved(L, "ioOutput", 0, 1);
        handle = lua_gettop(L);
        stream = fileArgument(L, handle);
    }
    FILE* file = openFile(L, stream);
    bool toHost = file == stdout;
    luaL_Buffer buffer;
    if (toHost) luaL_buffinit(L, &buffer);
    bool written = true;
    for (int i = first; i <= count; ++i) {
        char number[64];
        const char* text;
        size_t length;
        if (lua_type(L, i) == LUA_TNUMBER) {
            int n = formatNumber(L, i, number, sizeof number);
            text = number;
            length = n > 0 ? static_cast<size_t>(n) : 0;
        } else {
            text = luaL_checklstring(L, i, &length);
        }
        if (toHost) luaL_addlstring(&buffer, text, length);
        else written = written && fwrite(text, 1, length, file) == length;
    }
    if (toHost) {
        luaL_pushresult(&buffer);
        hostOutput(lua_tostring(L, -1));
        lua_pop(L, 1);
    }
    if (!written) return luaL_fileresult(L, 0, nullptr);
    lua_pushvalue(L, handle);
    return 1;
}

// One word: skips white space, reads up to the next white space and leaves
// that unread. nil when there is no word before the end of the file.
bool readWord(lua_State* L, FILE* file) {
    int c;
    do {
        c = getc(file);
    } while (c != EOF && isspace(c));
    if (c == EOF) return false;
    luaL_Buffer buffer;
    luaL_buffinit(L, &buffer);
    while (c != EOF && !isspace(c)) {
        luaL_addchar(&buffer, static_cast<char>(c));
        c = getc(file);
    }
    if (c != EOF) ungetc(c, file);
    luaL_pushresult(&buffer);
    return true;
}

// read([file,] formats...): "*l" a line (the default), "*n" a number, "*a"
// the rest, "*w" a word, or a character count; the "*" may be left out. A
// format that finds nothing gives nil and ends the read.
int compatRead(lua_State* L) {
    int count = lua_gettop(L);
    int first = 1;
    int handle = 1;
    if (fileArgument(L, 1)) {
        first = 2;
    } else {
        callSaved(L, "ioInput", 0, 1);
        handle = lua_gettop(L);
    }
    FILE* file = openFile(L, fileArgument(L, handle));
    if (first > count) {
        lua_pushliteral(L, "l");
        count = lua_gettop(L);
        first = count;
    }
    int results = 0;
    for (int i = first; i <= count; ++i) {
        luaL_checkstack(L, 4, "too many formats");
        bool found;
        if (lua_type(L, i) == LUA_TNUMBER) {
            lua_getfield(L, handle, "read");
            lua_pushvalue(L, handle);
            lua_pushinteger(L, integerArgument(L, i));
            lua_call(L, 2, 1);
            found = !lua_isnil(L, -1);
        } else {
            const char* format = luaL_checkstring(L, i);
            if (*format == '*') ++format;
            if (*format == 'w') {
                found = readWord(L, file);
                if (!found) lua_pushnil(L);
            } else if (*format == 'l' || *format == 'L' || *format == 'n' || *format == 'a') {
                lua_getfield(L, handle, "read");
                lua_pushvalue(L, handle);
                lua_pushstring(L, format);
                lua_call(L, 2, 1);
                found = !lua_isnil(L, -1);
            } else {
                return luaL_argerror(L, i, "invalid format");
            }
        }
        ++results;
        if (!found) break;
    }
    return results;
}

// Opens name ("|command" runs a command through a pipe) in mode, as the
// saved io.open / io.popen do: the handle, or nil and a message.
int openNamed(lua_State* L, const char* name, const char* mode) {
    if (name[0] == '|') {
        lua_pushstring(L, name + 1);
        lua_pushstring(L, mode);
        callSaved(L, "ioPopen", 2, 2);
    } else {
        lua_pushstring(L, name);
        lua_pushstring(L, mode);
        callSaved(L, "ioOpen", 2, 2);
    }
    return lua_isnil(L, -2) ? 0 : 1;
}

// Closes the current input or output unless it is a standard stream, then
// makes the standard stream current again.
void closeCurrent(lua_State* L, const char* current, const char* standard) {
    callSaved(L, current, 0, 1);
    luaL_Stream* stream = fileArgument(L, -1);
    if (stream && stream->closef && stream->f != stdin && stream->f != stdout && stream->f != stderr) {
        lua_getfield(L, -1, "close");
        lua_pushvalue(L, -2);
        lua_call(L, 1, 0);
    }
    lua_pop(L, 1);
    pushSaved(L, standard);
    callSaved(L, current, 1, 0);
}

int setCurrent(lua_State* L, const char* current, const char* mode) {
    const char* name = luaL_checkstring(L, 1);
    if (!openNamed(L, name, mode)) return 2;  // nil, message
    lua_pop(L, 1);
    lua_pushvalue(L, -1);
    callSaved(L, current, 1, 0);
    return 1;
}

// readfrom(name) makes the file the current input; readfrom() closes it
// and goes back to standard input.
int compatReadFrom(lua_State* L) {
    if (lua_isnoneornil(L, 1)) {
        closeCurrent(L, "ioInput", "ioStdin");
        lua_pushboolean(L, 1);
        return 1;
    }
    return setCurrent(L, "ioInput", "r");
}

// writeto(name) makes the file the current output; writeto() closes it and
// goes back to the host output.
int compatWriteTo(lua_State* L) {
    if (lua_isnoneornil(L, 1)) {
        closeCurrent(L, "ioOutput", "ioStdout");
        lua_pushboolean(L, 1);
        return 1;
    }
    return setCurrent(L, "ioOutput", "w");
}

int compatAppendTo(lua_State* L) { return setCurrent(L, "ioOutput", "a"); }

// execute(command): the command's exit code (128 + signal when a signal
// ended it). Output printed so far is written out first.
int compatExecute(lua_State* L) {
    const char* command = luaL_checkstring(L, 1);
    fflush(nullptr);
    int status = system(command);
    if (status == -1) return luaL_fileresult(L, 0, command);
    if (WIFEXITED(status)) lua_pushinteger(L, WEXITSTATUS(status));
    else if (WIFSIGNALED(status)) lua_pushinteger(L, 128 + WTERMSIG(status));
    else lua_pushinteger(L, status);
    return 1;
}

// ---------------------------------------------------------------------------
// Strings

// format(text, ...): integer conversions truncate fractional numbers, %s
// and %q write numbers as 4.0 did; the rest is string.format.
int compatFormat(lua_State* L) {
    const char* format = luaL_checkstring(L, 1);
    int count = lua_gettop(L);
    int argument = 1;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p && !isalpha(static_cast<unsigned char>(*p))) ++p;
        if (!*p) break;
        ++argument;
        if (argument > count) break;
        if (strchr("diouxXc", *p)) {
            truncateArgument(L, argument);
        } else if ((*p == 's' || *p == 'q') && lua_type(L, argument) == LUA_TNUMBER) {
            pushNumberText(L, argument);
            lua_replace(L, argument);
        }
    }
    callSaved(L, "stringFormat", count, 1);
    return 1;
}

// A library function whose integer arguments 4.0 truncated: upvalue 1 is
// the function, upvalue 2 the argument positions as a bit mask (bit 0 for
// argument 1; -1 for every argument).
int truncatingCall(lua_State* L) {
    lua_Integer mask = lua_tointeger(L, lua_upvalueindex(2));
    int count = lua_gettop(L);
    for (int i = 1; i <= count; ++i) {
        if (mask == -1 || (i <= 62 && (mask & (lua_Integer(1) << (i - 1))))) truncateArgument(L, i);
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, count, LUA_MULTRET);
    return lua_gettop(L);
}

// ---------------------------------------------------------------------------
// Math

int compatSin(lua_State* L) {
    lua_pushnumber(L, std::sin(luaL_checknumber(L, 1) * radiansPerDegree));
    return 1;
}
int compatCos(lua_State* L) {
    lua_pushnumber(L, std::cos(luaL_checknumber(L, 1) * radiansPerDegree));
    return 1;
}
int compatTan(lua_State* L) {
    lua_pushnumber(L, std::tan(luaL_checknumber(L, 1) * radiansPerDegree));
    return 1;
}
int compatAsin(lua_State* L) {
    lua_pushnumber(L, std::asin(luaL_checknumber(L, 1)) * degreesPerRadian);
    return 1;
}
int compatAcos(lua_State* L) {
    lua_pushnumber(L, std::acos(luaL_checknumber(L, 1)) * degreesPerRadian);
    return 1;
}
int compatAtan(lua_State* L) {
    lua_pushnumber(L, std::atan(luaL_checknumber(L, 1)) * degreesPerRadian);
    return 1;
}
int compatAtan2(lua_State* L) {
    double y = luaL_checknumber(L, 1);
    double x = luaL_checknumber(L, 2);
    lua_pushnumber(L, std::atan2(y, x) * degreesPerRadian);
    return 1;
}

// mod(a, b): the remainder of a / b with the sign of a (C fmod); an
// integer when both are integers, nan for an integer division by zero.
int compatMod(lua_State* L) {
    if (lua_isinteger(L, 1) && lua_isinteger(L, 2)) {
        lua_Integer a = lua_tointeger(L, 1);
        lua_Integer b = lua_tointeger(L, 2);
        if (b == 0) lua_pushnumber(L, std::fmod(static_cast<double>(a), 0.0));
        else if (b == -1) lua_pushinteger(L, 0);
        else lua_pushinteger(L, a % b);
        return 1;
    }
    lua_pushnumber(L, std::fmod(luaL_checknumber(L, 1), luaL_checknumber(L, 2)));
    return 1;
}

int compatLog10(lua_State* L) {
    lua_pushnumber(L, std::log10(luaL_checknumber(L, 1)));
    return 1;
}

int compatFrexp(lua_State* L) {
    int exponent = 0;
    lua_pushnumber(L, std::frexp(luaL_checknumber(L, 1), &exponent));
    lua_pushinteger(L, exponent);
    return 2;
}

int compatLdexp(lua_State* L) {
    double mantissa = luaL_checknumber(L, 1);
    lua_Integer exponent = integerArgument(L, 2);
    if (exponent > 100000) exponent = 100000;
    if (exponent < -100000) exponent = -100000;
    lua_pushnumber(L, std::ldexp(mantissa, static_cast<int>(exponent)));
    return 1;
}

// ---------------------------------------------------------------------------
// Tables

// getn(t): t.n when it is a number, else the largest positive integer key.
lua_Integer tableSize(lua_State* L, int table) {
    luaL_checktype(L, table, LUA_TTABLE);
    lua_pushliteral(L, "n");
    lua_rawget(L, table);
    if (lua_type(L, -1) == LUA_TNUMBER) {
        lua_Integer n = integerArgument(L, lua_gettop(L));
        lua_pop(L, 1);
        return n;
    }
    lua_pop(L, 1);
    lua_Integer largest = 0;
    lua_pushnil(L);
    while (lua_next(L, table)) {
        lua_pop(L, 1);
        if (lua_isinteger(L, -1)) {
            lua_Integer key = lua_tointeger(L, -1);
            if (key > largest) largest = key;
        }
    }
    return largest;
}

void setTableSize(lua_State* L, int table, lua_Integer n) {
    lua_pushliteral(L, "n");
    lua_pushinteger(L, n);
    lua_rawset(L, table);
}

int compatGetn(lua_State* L) {
    lua_pushinteger(L, tableSize(L, 1));
    return 1;
}

// tinsert(t, [pos,] value): inserts at pos (default n + 1), shifting the
// elements above it up, and sets t.n to n + 1.
int compatTinsert(lua_State* L) {
    int count = lua_gettop(L);
    lua_Integer n = tableSize(L, 1);
    lua_Integer position = count == 2 ? n + 1 : integerArgument(L, 2);
    if (position < 0) return luaL_argerror(L, 2, "position out of bounds");
    setTableSize(L, 1, n + 1);
    for (; n >= position; --n) {
        lua_rawgeti(L, 1, n);
        lua_rawseti(L, 1, n + 1);
    }
    lua_pushvalue(L, count);
    lua_rawseti(L, 1, position);
    return 0;
}

// tremove(t [, pos]): removes and returns t[pos] (default n), shifting the
// elements above it down, and sets t.n to n - 1. Nothing when t is empty;
// nil and no change for a position outside 1 .. n (which would otherwise
// drop the last element).
int compatTremove(lua_State* L) {
    lua_Integer n = tableSize(L, 1);
    if (n <= 0) return 0;
    lua_Integer position = lua_isnoneornil(L, 2) ? n : integerArgument(L, 2);
    if (position < 1 || position > n) {
        lua_pushnil(L);
        return 1;
    }
    setTableSize(L, 1, n - 1);
    lua_rawgeti(L, 1, position);
    for (; position < n; ++position) {
        lua_rawgeti(L, 1, position + 1);
        lua_rawseti(L, 1, position);
    }
    lua_pushnil(L);
    lua_rawseti(L, 1, n);
    return 1;
}

// sort(t [, less]): sorts t[1..getn(t)] in place.
int compatSort(lua_State* L) {
    lua_Integer n = tableSize(L, 1);
    if (!lua_isnoneornil(L, 2)) luaL_checktype(L, 2, LUA_TFUNCTION);
    if (n > 1000000000) return luaL_argerror(L, 1, "table too big to sort");
    lua_settop(L, 2);
    lua_createtable(L, n > 0 ? static_cast<int>(n) : 0, 0);
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_rawgeti(L, 1, i);
        lua_rawseti(L, 3, i);
    }
    lua_pushvalue(L, 3);
    if (lua_isnil(L, 2)) {
        callSaved(L, "tableSort", 1, 0);
    } else {
        lua_pushvalue(L, 2);
        callSaved(L, "tableSort", 2, 0);
    }
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_rawgeti(L, 3, i);
        lua_rawseti(L, 1, i);
    }
    return 0;
}

// foreach(t, f): f(key, value) for every field; a non-nil result ends the
// walk and is returned.
int compatForeach(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    lua_pushnil(L);
    while (lua_next(L, 1)) {
        lua_pushvalue(L, 2);
        lua_pushvalue(L, -3);
        lua_pushvalue(L, -3);
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1)) return 1;
        lua_pop(L, 2);
    }
    return 0;
}

// foreachi(t, f): f(i, t[i]) for i = 1 .. getn(t), ended the same way.
int compatForeachi(lua_State* L) {
    lua_Integer n = tableSize(L, 1);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_pushvalue(L, 2);
        lua_pushinteger(L, i);
        lua_rawgeti(L, 1, i);
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1)) return 1;
        lua_pop(L, 1);
    }
    return 0;
}

// call(f, args [, mode [, handler]]): f(args[1], ..., args[getn(args)]).
// With "x" in mode the call is protected: an error is reported (through
// handler when one is given; a nil handler keeps it silent) and call
// returns nil.
int compatCall(lua_State* L) {
    luaL_checkany(L, 1);
    lua_Integer n = tableSize(L, 2);
    const char* mode = luaL_optstring(L, 3, "");
    bool protectedMode = strchr(mode, 'x') != nullptr;
    bool hasHandler = lua_gettop(L) >= 4;
    if (n < 0) n = 0;
    if (n > 1000000) return luaL_argerror(L, 2, "too many arguments");
    luaL_checkstack(L, static_cast<int>(n) + 2, "too many arguments");
    int base = lua_gettop(L);
    lua_pushvalue(L, 1);
    for (lua_Integer i = 1; i <= n; ++i) lua_rawgeti(L, 2, i);
    if (!protectedMode) {
        lua_call(L, static_cast<int>(n), LUA_MULTRET);
        return lua_gettop(L) - base;
    }
    // A handler of the script's own gets the plain message, as in 4.0.
    int status = hasHandler ? lua_pcall(L, static_cast<int>(n), LUA_MULTRET, 0)
                            : protectedCall(L, static_cast<int>(n), LUA_MULTRET);
    if (status == LUA_OK) return lua_gettop(L) - base;
    if (scriptStopping()) return lua_error(L);  // a stop goes on up to the outermost run
    if (!hasHandler) {
        reportScriptError(L, lua_tostring(L, -1));
    } else if (lua_isfunction(L, 4)) {
        lua_pushvalue(L, 4);
        lua_pushvalue(L, -2);
        if (lua_pcall(L, 1, 0, 0) != LUA_OK) reportScriptError(L, lua_tostring(L, -1));
    }
    lua_settop(L, base);
    lua_pushnil(L);
    return 1;
}

// Runs the chunk on top of the stack as 4.0's dostring/dofile did: its
// results, true when it has none, or nil after reporting an error.
int runLoaded(lua_State* L, int loadStatus, int base) {
    int status = loadStatus == LUA_OK ? protectedCall(L, 0, LUA_MULTRET) : loadStatus;
    if (status != LUA_OK && scriptStopping()) return lua_error(L);  // a stop goes on up
    if (status != LUA_OK) {
        reportScriptError(L, lua_tostring(L, -1));
        lua_settop(L, base);
        lua_pushnil(L);
        return 1;
    }
    if (lua_gettop(L) == base) lua_pushboolean(L, 1);
    return lua_gettop(L) - base;
}

int compatDostring(lua_State* L) {
    size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    const char* name = luaL_optstring(L, 2, text);
    lua_settop(L, 2);
    return runLoaded(L, luaL_loadbufferx(L, text, length, name, "t"), 2);
}

int compatDofile(lua_State* L) {
    const char* name = luaL_checkstring(L, 1);
    lua_settop(L, 1);
    return runLoaded(L, luaL_loadfilex(L, name, "t"), 1);
}

// ---------------------------------------------------------------------------
// Installation

void pushLibraryField(lua_State* L, const char* library, const char* field) {
    lua_getfield(L, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
    lua_getfield(L, -1, library);
    lua_getfield(L, -1, field);
    lua_replace(L, -3);
    lua_pop(L, 1);
}

void alias(lua_State* L, const char* name, const char* library, const char* field) {
    pushLibraryField(L, library, field);
    lua_setglobal(L, name);
}

void truncating(lua_State* L, const char* name, const char* library, const char* field, lua_Integer mask) {
    pushLibraryField(L, library, field);
    lua_pushinteger(L, mask);
    lua_pushcclosure(L, truncatingCall, 2);
    lua_setglobal(L, name);
}

void define(lua_State* L, const char* name, lua_CFunction function) {
    lua_pushcfunction(L, function);
    lua_setglobal(L, name);
}

void save(lua_State* L, const char* name, const char* library, const char* field) {
    pushLibraryField(L, library, field);
    lua_setfield(L, -2, name);
}

}  // namespace

const char* pushNumberText(lua_State* L, int index) {
    char text[64];
    int length = formatNumber(L, index, text, sizeof text);
    return lua_pushlstring(L, text, length > 0 ? static_cast<size_t>(length) : 0);
}

void openLuaCompat(lua_State* L) {
    lua_newtable(L);
    save(L, "tostring", "_G", "tostring");
    save(L, "stringFormat", "string", "format");
    save(L, "tableSort", "table", "sort");
    save(L, "ioInput", "io", "input");
    save(L, "ioOutput", "io", "output");
    save(L, "ioOpen", "io", "open");
    save(L, "ioPopen", "io", "popen");
    save(L, "ioStdin", "io", "stdin");
    save(L, "ioStdout", "io", "stdout");
    lua_setfield(L, LUA_REGISTRYINDEX, savedLibraryKey);

    define(L, "print", compatPrint);
    define(L, "tostring", compatToString);

    alias(L, "strlen", "string", "len");
    truncating(L, "strsub", "string", "sub", 0b110);
    alias(L, "strlower", "string", "lower");
    alias(L, "strupper", "string", "upper");
    truncating(L, "strchar", "string", "char", -1);
    truncating(L, "strrep", "string", "rep", 0b10);
    truncating(L, "strbyte", "string", "byte", 0b10);
    truncating(L, "ascii", "string", "byte", 0b10);
    truncating(L, "strfind", "string", "find", 0b100);
    define(L, "format", compatFormat);
    truncating(L, "gsub", "string", "gsub", 0b1000);

    alias(L, "abs", "math", "abs");
    alias(L, "ceil", "math", "ceil");
    alias(L, "floor", "math", "floor");
    define(L, "mod", compatMod);
    alias(L, "sqrt", "math", "sqrt");
    alias(L, "min", "math", "min");
    alias(L, "max", "math", "max");
    alias(L, "log", "math", "log");
    define(L, "log10", compatLog10);
    alias(L, "exp", "math", "exp");
    define(L, "frexp", compatFrexp);
    define(L, "ldexp", compatLdexp);
    truncating(L, "random", "math", "random", 0b11);
    truncating(L, "randomseed", "math", "randomseed", 0b1);
    alias(L, "PI", "math", "pi");
    define(L, "sin", compatSin);
    define(L, "cos", compatCos);
    define(L, "tan", compatTan);
    define(L, "asin", compatAsin);
    define(L, "acos", compatAcos);
    define(L, "atan", compatAtan);
    define(L, "atan2", compatAtan2);
    alias(L, "deg", "math", "deg");
    alias(L, "rad", "math", "rad");

    define(L, "getn", compatGetn);
    define(L, "tinsert", compatTinsert);
    define(L, "tremove", compatTremove);
    define(L, "sort", compatSort);
    define(L, "foreach", compatForeach);
    define(L, "foreachi", compatForeachi);
    define(L, "call", compatCall);
    define(L, "dostring", compatDostring);
    define(L, "dofile", compatDofile);

    define(L, "readfrom", compatReadFrom);
    define(L, "writeto", compatWriteTo);
    define(L, "appendto", compatAppendTo);
    define(L, "read", compatRead);
    define(L, "write", compatWrite);
    alias(L, "remove", "os", "remove");
    alias(L, "rename", "os", "rename");
    alias(L, "tmpname", "os", "tmpname");
    alias(L, "getenv", "os", "getenv");
    alias(L, "date", "os", "date");
    alias(L, "clock", "os", "clock");
    define(L, "execute", compatExecute);
    alias(L, "exit", "os", "exit");

    // io.write follows write: standard output goes through the host output.
    lua_getglobal(L, "io");
    if (lua_istable(L, -1)) {
        lua_pushcfunction(L, compatWrite);
        lua_setfield(L, -2, "write");
    }
    lua_pop(L, 1);
}
