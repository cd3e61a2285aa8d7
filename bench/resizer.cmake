# build/bench/resizer: the resizer's batch on a folder, with the reference
# script's arguments.
add_executable(bench_resizer ${CMAKE_CURRENT_LIST_DIR}/resizer.cpp)
set_target_properties(bench_resizer PROPERTIES OUTPUT_NAME resizer)
target_link_libraries(bench_resizer PRIVATE orvane_core)
orvane_target_defaults(bench_resizer)
