list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/eta.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log_capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result_plots.cpp
  ${CMAKE_CURRENT_LIST_DIR}/trainer_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/training_metrics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tune_result.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tuner_thread.cpp
)
list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/config_tab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/live_metrics_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_tab.cpp
)
