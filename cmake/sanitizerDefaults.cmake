# Writes the sanitizers' default options and the leak suppressions of
# tests/sanitizers/lsan.supp into a source file, and links it into every
# program made after this point (the runtimes look these functions up at
# start-up, so no environment variable is needed to run a test).
set(MORVISTA_LSAN_FILE ${CMAKE_SOURCE_DIR}/tests/sanitizers/lsan.supp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MORVISTA_LSAN_FILE})
file(STRINGS ${MORVISTA_LSAN_FILE} MORVISTA_LSAN_LINES REGEX "^leak:")
set(MORVISTA_LSAN_TEXT "")
foreach(line ${MORVISTA_LSAN_LINES})
  string(APPEND MORVISTA_LSAN_TEXT "    \"${line}\\n\"\n")
endforeach()
set(MORVISTA_SANITIZER_SOURCE ${CMAKE_BINARY_DIR}/generated/sanitizerDefaults.cpp)
file(WRITE ${MORVISTA_SANITIZER_SOURCE}.new
"// Generated from tests/sanitizers/lsan.supp by cmake/sanitizerDefaults.cmake.
extern \"C\" const char* __asan_default_options() { return \"detect_leaks=1:abort_on_error=0\"; }
extern \"C\" const char* __ubsan_default_options() { return \"print_stacktrace=1:halt_on_error=1\"; }
extern \"C\" const char* __lsan_default_options() { return \"print_suppressions=0\"; }
extern \"C\" const char* __lsan_default_suppressions() {
    return
${MORVISTA_LSAN_TEXT}    \"\";
}
")
file(COPY_FILE ${MORVISTA_SANITIZER_SOURCE}.new ${MORVISTA_SANITIZER_SOURCE} ONLY_IF_DIFFERENT)
add_library(morvista_sanitizer_defaults OBJECT ${MORVISTA_SANITIZER_SOURCE})
# Not instrumented itself, so programs built without the sanitizers (the
# scene generator) link it too.
set_target_properties(morvista_sanitizer_defaults PROPERTIES COMPILE_OPTIONS "-g")
link_libraries(morvista_sanitizer_defaults)
