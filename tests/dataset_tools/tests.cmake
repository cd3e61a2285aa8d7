orvane_add_logic_test(dataset_tools_logic_test
  ${CMAKE_CURRENT_LIST_DIR}/analytics_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/coco_voc_export_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/health_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split_export_test.cpp
)
orvane_add_test(dataset_tools_window_test ${CMAKE_CURRENT_LIST_DIR}/dataset_tools_window_test.cpp)
orvane_add_logic_test(dataset_tools_import_test ${CMAKE_CURRENT_LIST_DIR}/import_test.cpp)
orvane_add_test(dataset_tools_import_window_test ${CMAKE_CURRENT_LIST_DIR}/import_window_test.cpp)
