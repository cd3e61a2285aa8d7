orvane_add_logic_test(fileio_test ${CMAKE_CURRENT_LIST_DIR}/fileio_test.cpp)
