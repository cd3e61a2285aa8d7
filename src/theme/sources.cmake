list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/stylesheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/theme_palette.cpp
)
list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/app_style.cpp
  ${CMAKE_CURRENT_LIST_DIR}/symbol_fonts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/theme_toggle.cpp
)
