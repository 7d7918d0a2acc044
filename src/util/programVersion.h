// programVersion.h -- which build of the program is running.
//
// Provides: programVersion, the source tree's commit as the build saw it
// (`git describe --always --dirty`, e.g. "74ed653" or "74ed653-dirty"), or
// "unknown" when the program was built outside a git checkout. The build
// writes its definition (cmake/writeVersion.cmake) before every compile of
// the program. Constant; any thread.
#pragma once

extern const char programVersion[];
