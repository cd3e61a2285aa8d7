find_package(ZLIB REQUIRED)
orvane_add_test(imaging_resample_encode_test
  ${CMAKE_CURRENT_LIST_DIR}/png_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resample_encode_test.cpp
)
target_link_libraries(imaging_resample_encode_test PRIVATE ZLIB::ZLIB)
