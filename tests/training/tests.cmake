orvane_add_test(training_logic_test
  ${CMAKE_CURRENT_LIST_DIR}/log_capture_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tune_result_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/training_metrics_test.cpp
)
orvane_add_test(training_tabs_test ${CMAKE_CURRENT_LIST_DIR}/training_tabs_test.cpp)
orvane_add_test(training_live_metrics_test ${CMAKE_CURRENT_LIST_DIR}/live_metrics_test.cpp)
