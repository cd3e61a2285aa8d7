list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/export_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inference_files.cpp
)
list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/inference_tab.cpp
)
