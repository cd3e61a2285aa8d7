orvane_add_test(resizer_logic_test ${CMAKE_CURRENT_LIST_DIR}/resizer_logic_test.cpp)
find_package(ZLIB REQUIRED)
orvane_add_test(resizer_tab_test
  ${CMAKE_SOURCE_DIR}/tests/imaging/png_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resizer_tab_test.cpp
)
target_link_libraries(resizer_tab_test PRIVATE ZLIB::ZLIB)
