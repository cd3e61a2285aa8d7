list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ai_labels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_folder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_read_ahead.cpp
)
list(APPEND ORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/annotation_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotation_set.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotator_ai.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotator_classes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotator_history.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotator_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotator_label_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotator_shapes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotator_tab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/annotator_workspace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/class_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/label_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_release_watcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shape_history.cpp
)
