# The scene file checks run the scenegen tool and read the default scene the
# build writes beside the program, so both must be built before the test.
add_dependencies(ScenegenTest scenegen scene_data)

# The elevation import is checked on rasters the test writes through GDAL,
# with the generator's import code compiled in; whole runs use the built
# scenegen. Only this test and scenegen link GDAL, never the viewer.
find_package(GDAL CONFIG REQUIRED)
set(SCENEGEN_DIR ${CMAKE_SOURCE_DIR}/tools/scenegen)
target_sources(HeightmapImportTest PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/rasterFiles.cpp
  ${SCENEGEN_DIR}/import.cpp ${SCENEGEN_DIR}/elevationFile.cpp
  ${SCENEGEN_DIR}/terrain.cpp ${SCENEGEN_DIR}/common.cpp ${SCENEGEN_DIR}/noise.cpp)
target_include_directories(HeightmapImportTest PRIVATE ${SCENEGEN_DIR} ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(HeightmapImportTest PRIVATE GDAL::GDAL)
add_dependencies(HeightmapImportTest scenegen)
# The base texture check draws the default scene's files.
add_dependencies(BaseTextureTest scenegen scene_data)
