// programVersion.h -- which build of the program is running.
//
// Provides: programVersion(), the source tree's commit as the build saw it
// (`git describe --always --dirty`, e.g. "74ed653" or "74ed653-dirty"), or
// "unknown" when the program was built outside a git checkout. The build
// writes the program's definition (cmake/writeVersion.cmake) and links it
// into the program alone, so a new commit relinks only the program; every
// other executable (the tests) gets the fallback here, "unknown".
// Constant; any thread.
#pragma once

const char* programVersion();
