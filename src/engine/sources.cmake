list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bridge_process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine.h
  ${CMAKE_CURRENT_LIST_DIR}/engine_job.cpp
  ${CMAKE_CURRENT_LIST_DIR}/python_engine.cpp
)
# Running from the build tree, the bridge script is found in the source tree; installed, it
# sits beside the executable.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/python_engine.cpp PROPERTIES
  COMPILE_DEFINITIONS ORVANE_BRIDGE_SOURCE_PATH="${CMAKE_CURRENT_LIST_DIR}/engine_bridge.py")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/engine_bridge.py DESTINATION bin)
