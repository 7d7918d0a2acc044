# The scene file checks run the scenegen tool and read the default scene the
# build writes beside the program, so both must be built before the test.
add_dependencies(ScenegenTest scenegen scene_data)
# The base texture check draws the default scene's files.
add_dependencies(BaseTextureTest scenegen scene_data)
