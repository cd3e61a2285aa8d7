list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bridge_process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/checkpoint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine.h
  ${CMAKE_CURRENT_LIST_DIR}/engine_job.cpp
  ${CMAKE_CURRENT_LIST_DIR}/python_engine.cpp
)
# The program finds the bridge script beside itself: installed there, and copied there in the
# build folder (see the top CMakeLists.txt), so a program moved with its bridge keeps working.
set(ORVANE_BRIDGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/engine_bridge.py)
install(FILES ${ORVANE_BRIDGE_SCRIPT} DESTINATION bin)
