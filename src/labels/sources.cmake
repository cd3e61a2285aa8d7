list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/class_colors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/class_edit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/class_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_carry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_document.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ring_clip.cpp
)
