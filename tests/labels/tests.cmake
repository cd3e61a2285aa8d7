orvane_add_logic_test(labels_test
  ${CMAKE_CURRENT_LIST_DIR}/class_edit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/class_list_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_carry_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_document_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_text_test.cpp
)
