add_executable(bench_inference ${CMAKE_CURRENT_LIST_DIR}/inference.cpp)
target_link_libraries(bench_inference PRIVATE orvane_ui)
target_compile_definitions(bench_inference PRIVATE
  ORVANE_FIXTURES_DIR="${ORVANE_ROOT}/tests/fixtures")
orvane_target_defaults(bench_inference)
target_include_directories(bench_inference PRIVATE ${ORVANE_ROOT}/tests)
