# writeVersion.cmake -- writes the program version source at build time.
#
# Run by the build before the program is compiled (cmake -P), with
#   SOURCE_DIR  the source tree (asked with git for its commit)
#   OUTPUT      the C++ file to write
# The version is `git describe --always --dirty` of the source tree (the
# commit, with "-dirty" when files differ from it), or "unknown" outside a
# git checkout or without git. The file is rewritten only when the version
# changed, so an unchanged tree recompiles nothing.
set(version "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} describe --always --dirty
    OUTPUT_VARIABLE described
    RESULT_VARIABLE result
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
  if(result EQUAL 0 AND NOT described STREQUAL "")
    set(version "${described}")
  endif()
endif()
set(text "// Written by the build (cmake/writeVersion.cmake); do not edit.\n#include \"util/programVersion.h\"\n\nconst char* programVersion() { return \"${version}\"; }\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
