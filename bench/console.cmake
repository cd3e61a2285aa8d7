# build/bench/bench_console: a long training log into the console (carriage-return redraws
# folded, no wrapping), and the cost of one redraw at its end.
add_executable(bench_console ${CMAKE_CURRENT_LIST_DIR}/console.cpp)
target_link_libraries(bench_console PRIVATE orvane_ui)
orvane_target_defaults(bench_console)
