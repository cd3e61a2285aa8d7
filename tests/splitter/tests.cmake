orvane_add_test(splitter_test
  ${CMAKE_CURRENT_LIST_DIR}/tile_grid_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/splitter_tab_test.cpp
)
