# TGA reader fuzz target. The pattern other readers copy:
# - the reader's byte-level code sits in a file that needs nothing else
#   from the program (here src/image/tgaDecode.cpp: no OpenGL, no files),
#   so both builds compile only that file and the target;
# - <Name>FuzzReplay: normal compiler (with AddressSanitizer and UBSan
#   unless the ThreadSanitizer build is on), label "unit", runs the kept
#   corpus in fuzz/corpus/<name>/ (seed inputs plus the crashers found so
#   far, kept as crash-* files);
# - <Name>Fuzzer: libFuzzer under clang, label "fuzz", runs for 20 seconds,
#   growing a scratch corpus in the build folder from the kept one and
#   writing new crashers to <build>/fuzz-crashers/<name>/ (copy them into
#   fuzz/corpus/<name>/ once fixed).
set(TGA_FUZZ_SOURCES ${CMAKE_SOURCE_DIR}/src/image/tgaDecode.cpp ${CMAKE_CURRENT_SOURCE_DIR}/TgaFuzz.cpp)
set(TGA_FUZZ_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/tga)

add_executable(TgaFuzzReplay ${TGA_FUZZ_SOURCES})
target_include_directories(TgaFuzzReplay PRIVATE ${CMAKE_SOURCE_DIR}/src)
if(NOT MORVISTA_TSAN)
  target_compile_options(TgaFuzzReplay PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all)
  target_link_options(TgaFuzzReplay PRIVATE -fsanitize=address,undefined)
endif()
add_test(NAME TgaFuzzReplay COMMAND TgaFuzzReplay ${TGA_FUZZ_CORPUS})
set_tests_properties(TgaFuzzReplay PROPERTIES LABELS unit)

if(MORVISTA_CLANG)
  set(TGA_FUZZER ${CMAKE_BINARY_DIR}/TgaFuzzer)
  set(TGA_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz-work/tga)
  set(TGA_FUZZ_CRASHERS ${CMAKE_BINARY_DIR}/fuzz-crashers/tga)
  file(MAKE_DIRECTORY ${TGA_FUZZ_WORK} ${TGA_FUZZ_CRASHERS})
  add_custom_command(OUTPUT ${TGA_FUZZER}
    COMMAND ${MORVISTA_CLANG} -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined
            -fno-sanitize-recover=all -DMORVISTA_LIBFUZZER -I${CMAKE_SOURCE_DIR}/src
            ${TGA_FUZZ_SOURCES} -o ${TGA_FUZZER}
    DEPENDS ${TGA_FUZZ_SOURCES} ${CMAKE_SOURCE_DIR}/src/image/tgaDecode.h
    COMMENT "Building TgaFuzzer (libFuzzer, clang)"
    VERBATIM)
  add_custom_target(TgaFuzzer ALL DEPENDS ${TGA_FUZZER})
  add_test(NAME TgaFuzzer
    COMMAND ${TGA_FUZZER} -max_total_time=20 -timeout=10 -rss_limit_mb=2048 -max_len=4096
            -artifact_prefix=${TGA_FUZZ_CRASHERS}/ ${TGA_FUZZ_WORK} ${TGA_FUZZ_CORPUS})
  set_tests_properties(TgaFuzzer PROPERTIES LABELS fuzz TIMEOUT 120)
endif()
