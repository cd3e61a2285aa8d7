orvane_add_test(engine_bridge_test ${CMAKE_CURRENT_LIST_DIR}/python_engine_test.cpp)
