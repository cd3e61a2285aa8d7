orvane_add_test(engine_bridge_test
  ${CMAKE_CURRENT_LIST_DIR}/python_engine_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bridge_location_test.cpp
)

# A program that looks for its bridge as orvane-studio does, to be moved about by the tests.
add_executable(orvane_bridge_locator ${CMAKE_CURRENT_LIST_DIR}/bridge_locator.cpp)
target_link_libraries(orvane_bridge_locator PRIVATE orvane_core)
orvane_target_defaults(orvane_bridge_locator)
# A program that runs a bridge and is killed, for the parent-death test.
add_executable(orvane_bridge_holder ${CMAKE_CURRENT_LIST_DIR}/bridge_holder.cpp)
target_link_libraries(orvane_bridge_holder PRIVATE orvane_core)
target_include_directories(orvane_bridge_holder PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_compile_definitions(orvane_bridge_holder PRIVATE
  ORVANE_FIXTURES_DIR="${CMAKE_CURRENT_LIST_DIR}/../fixtures"
  ORVANE_BRIDGE_SCRIPT="${ORVANE_BRIDGE_BUILD_COPY}")
orvane_target_defaults(orvane_bridge_holder)
add_dependencies(engine_bridge_test orvane_bridge_locator orvane_bridge_holder orvane-studio)
target_compile_definitions(engine_bridge_test PRIVATE
  ORVANE_PROGRAM_DIR="$<TARGET_FILE_DIR:orvane-studio>"
  ORVANE_LOCATOR="$<TARGET_FILE:orvane_bridge_locator>"
  ORVANE_HOLDER="$<TARGET_FILE:orvane_bridge_holder>"
  ORVANE_BUILD_DIR="${CMAKE_BINARY_DIR}"
  ORVANE_CMAKE="${CMAKE_COMMAND}")
