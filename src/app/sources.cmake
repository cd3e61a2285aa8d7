list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/app_icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/help_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
)
