orvane_add_test(engine_bridge_test
  ${CMAKE_CURRENT_LIST_DIR}/python_engine_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bridge_location_test.cpp
)

# A program that looks for its bridge as orvane-studio does, to be moved about by the tests.
add_executable(orvane_bridge_locator ${CMAKE_CURRENT_LIST_DIR}/bridge_locator.cpp)
target_link_libraries(orvane_bridge_locator PRIVATE orvane_core)
orvane_target_defaults(orvane_bridge_locator)
add_dependencies(engine_bridge_test orvane_bridge_locator orvane-studio)
target_compile_definitions(engine_bridge_test PRIVATE
  ORVANE_PROGRAM_DIR="$<TARGET_FILE_DIR:orvane-studio>"
  ORVANE_LOCATOR="$<TARGET_FILE:orvane_bridge_locator>"
  ORVANE_BUILD_DIR="${CMAKE_BINARY_DIR}"
  ORVANE_CMAKE="${CMAKE_COMMAND}")
