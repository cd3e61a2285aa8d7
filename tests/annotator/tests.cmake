orvane_add_test(annotator_logic_test
  ${CMAKE_CURRENT_LIST_DIR}/class_list_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_folder_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_io_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_file_test.cpp
)
