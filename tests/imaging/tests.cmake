# Hand-made PNG files for the imaging and resizer tests.
find_package(ZLIB REQUIRED)
add_library(orvane_test_png STATIC ${CMAKE_CURRENT_LIST_DIR}/png_writer.cpp)
target_link_libraries(orvane_test_png PUBLIC orvane_test_support ZLIB::ZLIB)
orvane_target_defaults(orvane_test_png)

orvane_add_test(imaging_resample_encode_test ${CMAKE_CURRENT_LIST_DIR}/resample_encode_test.cpp)
target_link_libraries(imaging_resample_encode_test PRIVATE orvane_test_png)
orvane_add_logic_test(imaging_test ${CMAKE_CURRENT_LIST_DIR}/image_io_test.cpp)
