# build/bench/responsiveness: the window's long jobs on a folder of photographs,
# the event loop's longest stall, Cancel's delay, and each job's time against
# the same work called directly.
add_executable(bench_responsiveness ${CMAKE_CURRENT_LIST_DIR}/responsiveness.cpp)
set_target_properties(bench_responsiveness PROPERTIES OUTPUT_NAME responsiveness)
target_link_libraries(bench_responsiveness PRIVATE orvane_ui)
orvane_target_defaults(bench_responsiveness)
# The viewer's part runs the stand-in engine of the tests.
target_compile_definitions(bench_responsiveness PRIVATE
  ORVANE_FIXTURES_DIR="${ORVANE_ROOT}/tests/fixtures"
  ORVANE_BRIDGE_SCRIPT="${ORVANE_BRIDGE_BUILD_COPY}")
add_dependencies(bench_responsiveness orvane_engine_bridge)
target_include_directories(bench_responsiveness PRIVATE ${ORVANE_ROOT}/tests)
