# Builds the program with ThreadSanitizer in TSAN_DIR and runs the held-keys
# end-to-end case (E2E_TEST) against it. Called by CTest (see tests.cmake).
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${TSAN_DIR} -G Ninja
    -DMORVISTA_TSAN=ON -DMORVISTA_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
  RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring the ThreadSanitizer build in ${TSAN_DIR} failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${TSAN_DIR} --target morvista -j2
  RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building the ThreadSanitizer program in ${TSAN_DIR} failed")
endif()
# The program reads its scene and scripts from its own folder: give the
# second program the files the main build generated.
file(GLOB scene_files ${MAIN_BUILD_DIR}/*.raw ${MAIN_BUILD_DIR}/*.tga ${MAIN_BUILD_DIR}/*.xml
  ${MAIN_BUILD_DIR}/*.lua)
foreach(scene_file ${scene_files})
  get_filename_component(name ${scene_file} NAME)
  file(CREATE_LINK ${scene_file} ${TSAN_DIR}/${name} SYMBOLIC)
endforeach()
set(ENV{MORVISTA_E2E_BINARY} ${TSAN_DIR}/morvista)
# Lock misuse inside the uninstrumented libraries (Xlib's display lock is
# taken and released from different libraries) is not the program's; see
# tsan.supp for the rest.
set(ENV{TSAN_OPTIONS}
  "halt_on_error=0 second_deadlock_stack=1 report_mutex_bugs=0 suppressions=${CMAKE_CURRENT_LIST_DIR}/tsan.supp")
execute_process(
  COMMAND ${E2E_TEST} --gtest_filter=ShellEndToEnd.HeldKeysAndMouseLook
  RESULT_VARIABLE passed)
if(NOT passed EQUAL 0)
  message(FATAL_ERROR "the held-keys case failed on the ThreadSanitizer build (see its output above)")
endif()
