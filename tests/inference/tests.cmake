orvane_add_test(inference_tab_test ${CMAKE_CURRENT_LIST_DIR}/inference_tab_test.cpp)
