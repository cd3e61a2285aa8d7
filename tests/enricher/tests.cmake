orvane_add_test(enricher_test
  ${CMAKE_CURRENT_LIST_DIR}/augment_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transforms_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/enricher_tab_test.cpp
)
