# build/bench/label_carry: clip_shapes on long polygons cut at a frame's edge.
add_executable(bench_label_carry ${CMAKE_CURRENT_LIST_DIR}/label_carry.cpp)
set_target_properties(bench_label_carry PROPERTIES OUTPUT_NAME label_carry)
target_link_libraries(bench_label_carry PRIVATE orvane_core)
orvane_target_defaults(bench_label_carry)
