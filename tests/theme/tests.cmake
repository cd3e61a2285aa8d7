orvane_add_logic_test(theme_stylesheet_test ${CMAKE_CURRENT_LIST_DIR}/stylesheet_test.cpp)
orvane_add_test(theme_toggle_test ${CMAKE_CURRENT_LIST_DIR}/theme_toggle_test.cpp)
orvane_add_test(theme_app_style_test ${CMAKE_CURRENT_LIST_DIR}/app_style_test.cpp)
orvane_add_test(theme_palette_test ${CMAKE_CURRENT_LIST_DIR}/theme_palette_test.cpp)
