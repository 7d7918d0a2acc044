// programVersion.cpp -- the fallback version; see programVersion.h. The
// program's own definition, written by the build, takes its place.
#include "util/programVersion.h"

__attribute__((weak)) const char* programVersion() { return "unknown"; }
