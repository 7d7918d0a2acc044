# Plant model reader. ModelFuzzReplay (normal compiler, label "unit") reads
# every file of fuzz/corpus/model -- the kept corpus, the malformed files of
# the loader tests and the crashers found so far -- and fails on a crash.
# ModelFuzzer (clang with libFuzzer, ASan and UBSan, label "fuzz") explores
# for a bounded time from the same corpus; inputs it finds go to
# <build>/fuzz-corpus/model, crashers to <build>/fuzz-crashers/model/ (copy
# them into fuzz/corpus/model once fixed).
# Only the reader's own sources are compiled; the texture registry is the
# stand-in in ModelFuzz.cpp.
set(MODEL_FUZZ_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/ModelFuzz.cpp
  ${CMAKE_SOURCE_DIR}/src/vegetation/modelLoader.cpp
  ${CMAKE_SOURCE_DIR}/src/scene/sceneFolder.cpp
  ${CMAKE_SOURCE_DIR}/src/util/text.cpp
  ${CMAKE_SOURCE_DIR}/src/util/fileOpen.cpp
  ${CMAKE_SOURCE_DIR}/src/util/output.cpp)
set(MODEL_FUZZ_HEADERS
  ${CMAKE_SOURCE_DIR}/src/vegetation/model.h
  ${CMAKE_SOURCE_DIR}/src/vegetation/modelLoader.h
  ${CMAKE_SOURCE_DIR}/src/util/text.h
  ${CMAKE_SOURCE_DIR}/src/util/fileOpen.h
  ${CMAKE_SOURCE_DIR}/src/util/output.h
  ${CMAKE_SOURCE_DIR}/src/image/textureRegistry.h)
set(MODEL_FUZZ_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/model)

add_executable(ModelFuzzReplay ${MODEL_FUZZ_SOURCES})
target_include_directories(ModelFuzzReplay PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(ModelFuzzReplay PRIVATE Threads::Threads)
add_test(NAME ModelFuzzReplay COMMAND ModelFuzzReplay ${MODEL_FUZZ_CORPUS})
set_tests_properties(ModelFuzzReplay PROPERTIES LABELS unit)

if(MORVISTA_CLANG)
  set(MODEL_FUZZER ${CMAKE_BINARY_DIR}/ModelFuzzer)
  add_custom_command(
    OUTPUT ${MODEL_FUZZER}
    COMMAND ${MORVISTA_CLANG} -std=c++20 -g -O1 -DMORVISTA_LIBFUZZER
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -I${CMAKE_SOURCE_DIR}/src ${MODEL_FUZZ_SOURCES} -pthread -o ${MODEL_FUZZER}
    DEPENDS ${MODEL_FUZZ_SOURCES} ${MODEL_FUZZ_HEADERS}
    COMMENT "Building the libFuzzer target ModelFuzzer with ${MORVISTA_CLANG}"
    VERBATIM)
  add_custom_target(ModelFuzzer ALL DEPENDS ${MODEL_FUZZER})
  set(MODEL_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz-corpus/model)
  set(MODEL_FUZZ_CRASHERS ${CMAKE_BINARY_DIR}/fuzz-crashers/model/)
  add_test(NAME ModelFuzz
    COMMAND sh -c "mkdir -p '${MODEL_FUZZ_WORK}' '${MODEL_FUZZ_CRASHERS}' && exec '${MODEL_FUZZER}' -max_total_time=60 -rss_limit_mb=2048 -timeout=10 -artifact_prefix='${MODEL_FUZZ_CRASHERS}' '${MODEL_FUZZ_WORK}' '${MODEL_FUZZ_CORPUS}'")
  set_tests_properties(ModelFuzz PROPERTIES LABELS fuzz TIMEOUT 300)
endif()
