add_executable(bench_engine ${CMAKE_CURRENT_LIST_DIR}/engine.cpp)
target_link_libraries(bench_engine PRIVATE orvane_ui opencv_imgcodecs)
target_compile_definitions(bench_engine PRIVATE
  ORVANE_FIXTURES_DIR="${ORVANE_ROOT}/tests/fixtures"
  ORVANE_BRIDGE_SCRIPT="${ORVANE_BRIDGE_BUILD_COPY}")
add_dependencies(bench_engine orvane_engine_bridge)
orvane_target_defaults(bench_engine)
target_include_directories(bench_engine PRIVATE ${ORVANE_ROOT}/tests)
