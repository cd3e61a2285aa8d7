list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/process_signals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/background_job.h
  ${CMAKE_CURRENT_LIST_DIR}/background_job.cpp
  ${CMAKE_CURRENT_LIST_DIR}/job_runner.h
  ${CMAKE_CURRENT_LIST_DIR}/job_runner.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parallel_ranges.cpp
)
