list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/atomic_write.cpp
  ${CMAKE_CURRENT_LIST_DIR}/batch_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_read.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folder_listing.cpp
)
