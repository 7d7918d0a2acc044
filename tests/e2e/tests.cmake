# End-to-end tests run the built program, so they are built after it.
foreach(e2e_source ${MORVISTA_TESTS})
  if(e2e_source MATCHES "/e2e/")
    get_filename_component(e2e_name ${e2e_source} NAME_WE)
    add_dependencies(${e2e_name} morvista)
  endif()
endforeach()

# ThreadSanitizer check: builds the program a second time with
# -fsanitize=thread (in <build>/tsan) and runs the end-to-end case with held
# keys and mouse look on it; any report fails the test. The first build of
# that tree takes a few minutes on two cores (every source of the program is
# compiled again); later runs rebuild only what changed, and the case itself
# takes about ten seconds. Leave it out with `ctest -LE tsan`.
add_test(NAME tsanHeldKeysAndMouseLook
  COMMAND ${CMAKE_COMMAND}
    -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
    -DTSAN_DIR=${CMAKE_BINARY_DIR}/tsan
    -DMAIN_BUILD_DIR=${CMAKE_BINARY_DIR}
    -DE2E_TEST=$<TARGET_FILE:ShellE2eTest>
    -P ${CMAKE_CURRENT_LIST_DIR}/tsanCheck.cmake)
set_tests_properties(tsanHeldKeysAndMouseLook PROPERTIES LABELS tsan TIMEOUT 3600)

# The scene-folder case makes its scene with scenegen and compares it with
# the default scene beside the program.
add_dependencies(SceneFolderE2eTest scenegen scene_data)
