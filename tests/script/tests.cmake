# The start-up test runs the built program: build it first.
if(TARGET StartupTest AND TARGET morvista)
  add_dependencies(StartupTest morvista)
endif()
