list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/batch_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/quality_search.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resize_math.cpp
)
list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/resizer_tab.cpp
)
