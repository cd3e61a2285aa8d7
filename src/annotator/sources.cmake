list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/atomic_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/class_colors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/class_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_folder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_file.cpp
)
list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/workspace_tab.cpp
)
