# Elevation import fuzz target: bytes as a GeoTIFF, PNG or ASCII grid in
# GDAL's memory files, through the generator's import code (only its own
# sources and GDAL are compiled in).
# - ImportFuzzReplay: normal compiler with AddressSanitizer and UBSan
#   (unless the ThreadSanitizer build is on), label "unit", replays the kept
#   corpus fuzz/corpus/import (seeds plus crashers found so far, crash-*).
# - ImportFuzzer: libFuzzer under clang, label "fuzz", runs for 60 seconds
#   from the kept corpus, growing <build>/fuzz-corpus/import and writing
#   crashers to <build>/fuzz-crashers/import/ (copy them into
#   fuzz/corpus/import once fixed). An accepted input makes all four map
#   sizes, so one input may take seconds on a loaded machine: the time
#   allowed per input is generous.
find_package(GDAL CONFIG REQUIRED)
set(IMPORT_FUZZ_DIR ${CMAKE_SOURCE_DIR}/tools/scenegen)
set(IMPORT_FUZZ_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/ImportFuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/importFuzzMemory.cpp
  ${IMPORT_FUZZ_DIR}/import.cpp ${IMPORT_FUZZ_DIR}/elevationFile.cpp ${IMPORT_FUZZ_DIR}/terrain.cpp
  ${IMPORT_FUZZ_DIR}/common.cpp ${IMPORT_FUZZ_DIR}/noise.cpp)
set(IMPORT_FUZZ_HEADERS
  ${IMPORT_FUZZ_DIR}/import.h ${IMPORT_FUZZ_DIR}/elevationFile.h ${IMPORT_FUZZ_DIR}/terrain.h
  ${IMPORT_FUZZ_DIR}/common.h ${IMPORT_FUZZ_DIR}/noise.h)
set(IMPORT_FUZZ_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/import)

add_executable(ImportFuzzReplay ${IMPORT_FUZZ_SOURCES})
target_include_directories(ImportFuzzReplay PRIVATE ${IMPORT_FUZZ_DIR})
target_link_libraries(ImportFuzzReplay PRIVATE GDAL::GDAL Threads::Threads)
if(NOT MORVISTA_TSAN)
  target_compile_options(ImportFuzzReplay PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all)
  target_link_options(ImportFuzzReplay PRIVATE -fsanitize=address,undefined)
endif()
if(NOT MORVISTA_SANITIZE)
  target_compile_definitions(ImportFuzzReplay PRIVATE MORVISTA_IMPORT_FUZZ_SUPPRESSIONS)
endif()
add_test(NAME ImportFuzzReplay COMMAND ImportFuzzReplay ${IMPORT_FUZZ_CORPUS})
set_tests_properties(ImportFuzzReplay PROPERTIES LABELS unit)

if(MORVISTA_CLANG)
  set(IMPORT_FUZZER ${CMAKE_BINARY_DIR}/ImportFuzzer)
  add_custom_command(
    OUTPUT ${IMPORT_FUZZER}
    COMMAND ${MORVISTA_CLANG} -std=c++20 -g -O1 -DMORVISTA_LIBFUZZER -ffp-contract=off
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -I${IMPORT_FUZZ_DIR} "-I$<JOIN:$<TARGET_PROPERTY:GDAL::GDAL,INTERFACE_INCLUDE_DIRECTORIES>,;-I>"
            ${IMPORT_FUZZ_SOURCES} $<TARGET_LINKER_FILE:GDAL::GDAL> -pthread -o ${IMPORT_FUZZER}
    DEPENDS ${IMPORT_FUZZ_SOURCES} ${IMPORT_FUZZ_HEADERS}
    COMMENT "Building the libFuzzer target ImportFuzzer with ${MORVISTA_CLANG}"
    COMMAND_EXPAND_LISTS
    VERBATIM)
  add_custom_target(ImportFuzzer ALL DEPENDS ${IMPORT_FUZZER})
  set(IMPORT_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz-corpus/import)
  set(IMPORT_FUZZ_CRASHERS ${CMAKE_BINARY_DIR}/fuzz-crashers/import/)
  add_test(NAME ImportFuzz
    COMMAND sh -c "mkdir -p '${IMPORT_FUZZ_WORK}' '${IMPORT_FUZZ_CRASHERS}' && exec '${IMPORT_FUZZER}' -max_total_time=60 -rss_limit_mb=2048 -timeout=120 -max_len=65536 -artifact_prefix='${IMPORT_FUZZ_CRASHERS}' '${IMPORT_FUZZ_WORK}' '${IMPORT_FUZZ_CORPUS}'")
  set_tests_properties(ImportFuzz PROPERTIES LABELS fuzz TIMEOUT 300)
endif()
