add_executable(bench_inference ${CMAKE_CURRENT_LIST_DIR}/inference.cpp)
target_link_libraries(bench_inference PRIVATE orvane_ui opencv_imgcodecs)
target_compile_definitions(bench_inference PRIVATE
  ORVANE_FIXTURES_DIR="${ORVANE_ROOT}/tests/fixtures"
  ORVANE_BRIDGE_SCRIPT="${ORVANE_BRIDGE_BUILD_COPY}")
add_dependencies(bench_inference orvane_engine_bridge)
orvane_target_defaults(bench_inference)
target_include_directories(bench_inference PRIVATE ${ORVANE_ROOT}/tests)
