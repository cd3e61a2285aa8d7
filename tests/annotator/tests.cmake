orvane_add_logic_test(annotator_logic_test ${CMAKE_CURRENT_LIST_DIR}/image_folder_test.cpp)
orvane_add_test(annotator_window_test
  ${CMAKE_CURRENT_LIST_DIR}/annotator_fixture.h
  ${CMAKE_CURRENT_LIST_DIR}/keys_points_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_safety_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shapes_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/workspace_test.cpp
)
