list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/outline_simplify.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shape_geometry.cpp
)
list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/interactive_canvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_scale.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zoomable_view.cpp
)
