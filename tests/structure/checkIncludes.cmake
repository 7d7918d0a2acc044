# checkIncludes.cmake -- the layers' include rules, checked on a source tree:
# src/camera/ and src/terrain/ include nothing from src/app/, and the files of
# src/app/ include each other without a circle.
#
#   cmake -DSOURCE_DIR=<tree> -P checkIncludes.cmake
#
# A module of src/app/ is a file name without its extension (input.h and
# input.cpp are the module "input"); module A depends on module B when a file
# of A has #include "app/B.h". The check removes, again and again, every
# module that depends on no module still left; the modules that cannot be
# removed lie on a circle or lead into one. Each broken rule is printed on
# its own line; the script fails when there is any.
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "checkIncludes.cmake: give -DSOURCE_DIR=<source tree>")
endif()

set(problems 0)
set(appInclude "#include[ \t]*\"app/([A-Za-z0-9_]+)\\.h\"")

foreach(layer camera terrain)
  file(GLOB layerFiles ${SOURCE_DIR}/src/${layer}/*.h ${SOURCE_DIR}/src/${layer}/*.cpp)
  foreach(path ${layerFiles})
    file(STRINGS ${path} lines REGEX "${appInclude}")
    foreach(line ${lines})
      string(REGEX MATCH "app/[A-Za-z0-9_]+\\.h" included "${line}")
      file(RELATIVE_PATH name ${SOURCE_DIR}/src ${path})
      message("${name} includes ${included}: ${layer}/ may not depend on app/")
      math(EXPR problems "${problems} + 1")
    endforeach()
  endforeach()
endforeach()

# Modules of src/app/ and what each includes of app/.
file(GLOB appFiles ${SOURCE_DIR}/src/app/*.h ${SOURCE_DIR}/src/app/*.cpp)
set(modules)
foreach(path ${appFiles})
  get_filename_component(module ${path} NAME_WE)
  list(APPEND modules ${module})
  file(STRINGS ${path} lines REGEX "${appInclude}")
  foreach(line ${lines})
    string(REGEX MATCH "app/([A-Za-z0-9_]+)\\.h" unused "${line}")
    if(NOT CMAKE_MATCH_1 STREQUAL module)
      list(APPEND uses_${module} ${CMAKE_MATCH_1})
    endif()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES modules)

set(left ${modules})
set(removed TRUE)
while(removed AND left)
  set(removed FALSE)
  set(still)
  foreach(module ${left})
    set(free TRUE)
    foreach(used ${uses_${module}})
      list(FIND left ${used} at)
      if(NOT at EQUAL -1)
        set(free FALSE)
      endif()
    endforeach()
    if(free)
      set(removed TRUE)
    else()
      list(APPEND still ${module})
    endif()
  endforeach()
  set(left ${still})
endwhile()

if(left)
  foreach(module ${left})
    set(into)
    foreach(used ${uses_${module}})
      list(FIND left ${used} at)
      if(NOT at EQUAL -1)
        list(APPEND into ${used})
      endif()
    endforeach()
    list(REMOVE_DUPLICATES into)
    string(REPLACE ";" ", " into "${into}")
    message("app/ include cycle: ${module} includes ${into}")
    math(EXPR problems "${problems} + 1")
  endforeach()
endif()

if(problems GREATER 0)
  message(FATAL_ERROR "${problems} include rule(s) broken")
endif()
list(LENGTH modules count)
message("include rules kept: ${count} app/ modules without a circle; camera/ and terrain/ free of app/")
