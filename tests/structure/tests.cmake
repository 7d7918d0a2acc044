# The layers' include rules (checkIncludes.cmake) on the program's sources,
# and on a small tree that breaks each of them, so the check is seen to
# catch what it is for.
add_test(NAME IncludeRules.ProgramSources
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/checkIncludes.cmake)
add_test(NAME IncludeRules.BrokenTreeIsRefused
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_CURRENT_LIST_DIR}/cycleFixture
    -P ${CMAKE_CURRENT_LIST_DIR}/checkIncludes.cmake)
set_tests_properties(IncludeRules.ProgramSources IncludeRules.BrokenTreeIsRefused PROPERTIES LABELS unit)
# Every rule reported, and a failure: three lines in the order checked.
set_tests_properties(IncludeRules.BrokenTreeIsRefused PROPERTIES
  PASS_REGULAR_EXPRESSION "camera/look.cpp includes app/keys.h[^\n]*\n.*terrain/grid.h includes app/keys.h.*app/ include cycle: keys includes menus.*app/ include cycle: menus includes keys.*include rule\\(s\\) broken")
