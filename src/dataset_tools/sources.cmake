list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/analytics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/coco_import.cpp
  ${CMAKE_CURRENT_LIST_DIR}/coco_voc_export.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dataset_import.cpp
  ${CMAKE_CURRENT_LIST_DIR}/health.cpp
  ${CMAKE_CURRENT_LIST_DIR}/import_shapes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split_export.cpp
  ${CMAKE_CURRENT_LIST_DIR}/voc_import.cpp
)
list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/analytics_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/coco_voc_export_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dataset_actions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/import_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split_config_dialog.cpp
)
