orvane_add_test(app_shell_test ${CMAKE_CURRENT_LIST_DIR}/shell_test.cpp)
orvane_add_test(app_source_rules_test ${CMAKE_CURRENT_LIST_DIR}/source_rules_test.cpp)
orvane_add_test(app_closing_test ${CMAKE_CURRENT_LIST_DIR}/closing_test.cpp)
