list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/dialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/info_label.cpp
  ${CMAKE_CURRENT_LIST_DIR}/job_progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tab_work.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wait_cursor.h
)
