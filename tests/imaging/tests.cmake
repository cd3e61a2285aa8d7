orvane_add_logic_test(imaging_test ${CMAKE_CURRENT_LIST_DIR}/image_io_test.cpp)
