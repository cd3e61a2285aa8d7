// Temporary stubs until the annotator tab lands.
#include "app/app_core.h"

void OrvaneStudio::setup_workspace_tab() {}
void OrvaneStudio::load_existing_annotations(const QString&) {}
void OrvaneStudio::save_current_annotations() {}
void OrvaneStudio::save_classes_file() {}
void OrvaneStudio::load_directory() {}
void OrvaneStudio::set_output_folder() {}
void OrvaneStudio::populate_image_list() {}
void OrvaneStudio::load_current_image() {}
void OrvaneStudio::render_canvas_image(bool) {}
void OrvaneStudio::fit_canvas_to_screen() {}
void OrvaneStudio::jump_to_image(int) {}
void OrvaneStudio::prev_image() {}
void OrvaneStudio::next_image() {}
void OrvaneStudio::update_single_list_status() {}
void OrvaneStudio::change_active_mode(const QString&) {}
void OrvaneStudio::handle_canvas_point(const QPointF&) {}
void OrvaneStudio::handle_new_poly(const QPolygonF&) {}
void OrvaneStudio::update_annotation_colors() {}
void OrvaneStudio::sync_table_selection() {}
void OrvaneStudio::sync_canvas_selection() {}
void OrvaneStudio::ann_delete_selected() {}
void OrvaneStudio::copy_previous_frame_shapes() {}
