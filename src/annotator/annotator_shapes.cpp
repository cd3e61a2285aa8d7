// Shapes of the current image: naming a drawn shape, class colours, the object
// table kept in step with the canvas selection, deleting, and copying the
// previous image's shapes.
#include <QComboBox>
#include <QFileInfo>
#include <QGraphicsPolygonItem>
#include <QHash>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QTableWidget>
#include <array>

#include "annotator/annotation_items.h"
#include "annotator/annotator_tab.h"
#include "annotator/label_dialog.h"
#include "canvas/interactive_canvas.h"
#include "canvas/zoomable_view.h"
#include "labels/class_colors.h"
#include "labels/label_document.h"
#include "labels/label_file.h"
#include "labels/label_paths.h"
#include "ui/dialogs.h"

namespace orvane {

namespace {

// Nothing current in the table: Delete then has no row to act on.
void clear_current_row(QTableWidget* table) {
  table->clearSelection();
  table->selectionModel()->clearCurrentIndex();
}

}  // namespace

void AnnotatorTab::change_active_mode(const QString& mode) {
  canvas->set_draw_mode(mode);
  canvas_view->set_interaction_mode(mode);
}

void AnnotatorTab::handle_canvas_point(const QPointF&) {}

void AnnotatorTab::handle_new_poly(const QPolygonF& poly) {
  // Without an image there is no label file to keep the shape in.
  if (display_cv_img.empty() || !label_document_.has_image()) return;
  if (!read_only_reason(true).isEmpty()) return;
  LabelDialog dialog(classes, last_label, this);
  if (dialogs_.exec(dialog) != QDialog::Accepted) return;
  const QString label = dialog.get_label();
  if (label.isEmpty()) return;
  last_label = label;
  if (!classes.contains(label)) {
    // A shape whose class id classes.txt does not hold would change class
    // when the file is next read.
    const QString error = add_classes({label});
    if (!error.isEmpty()) {
      dialogs_.critical(this, QStringLiteral("Error"),
                        QStringLiteral("Could not save %1:\n%2\n\nThe shape was not created.")
                            .arg(LabelDocument::classes_path(image_folder), error));
      return;
    }
  }

  annotations.add(poly, label, combo_mode->currentText());
  label_document_.mark_changed();
  update_annotation_colors();
  save_current_annotations();
}

void AnnotatorTab::update_annotation_colors() { annotations.recolour(classes); }

void AnnotatorTab::sync_table_selection() {
  const QSignalBlocker blocker(canvas);
  canvas->clearSelection();
  const int row = table_objects->currentRow();
  if (row >= 0 && static_cast<std::size_t>(row) < annotations.size()) {
    annotations[static_cast<std::size_t>(row)].item->setSelected(true);
  }
  update_annotation_colors();
}

void AnnotatorTab::sync_canvas_selection() {
  const QSignalBlocker blocker(table_objects);
  table_objects->clearSelection();
  const QList<QGraphicsItem*> selected = canvas->selectedItems();
  const int row = selected.isEmpty() ? -1 : annotations.row_of(selected.first());
  if (row >= 0) {
    table_objects->selectRow(row);
    table_objects->scrollToItem(table_objects->item(row, 0));
  } else {
    clear_current_row(table_objects);
  }
  update_annotation_colors();
}

void AnnotatorTab::ann_delete_selected() {
  const int row = table_objects->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= annotations.size()) return;
  if (!read_only_reason(true).isEmpty()) return;
  annotations.remove(row);
  label_document_.mark_changed();
  {
    const QSignalBlocker scene_blocker(canvas);
    const QSignalBlocker table_blocker(table_objects);
    clear_current_row(table_objects);
    canvas->clearSelection();
  }
  update_annotation_colors();
  save_current_annotations();
}

void AnnotatorTab::copy_previous_frame_shapes() {
  if (current_idx <= 0 || image_paths.isEmpty() || current_idx >= image_paths.size() ||
      !label_document_.has_image()) {
    dialogs_.warning(this, QStringLiteral("Unavailable"),
                     QStringLiteral("No previous image available to copy annotations from."));
    return;
  }
  if (!read_only_reason(true).isEmpty()) return;
  const QString previous_path = label_path_for_image(image_paths[current_idx - 1]);
  const LabelFileContent previous = read_label_file(previous_path, static_cast<int>(classes.size()),
                                                    display_cv_img.cols, display_cv_img.rows);
  if (previous.unreadable) {
    // Copying nothing would empty this image's file.
    dialogs_.warning(this, QStringLiteral("Unavailable"),
                     QStringLiteral("Cannot read %1: %2")
                         .arg(QFileInfo(previous_path).fileName(), previous.error));
    return;
  }
  // The copy replaces this image's shapes, on the canvas as in the file.
  // Lines of this image's file that were never shapes are not the user's to
  // replace by a copy: they stay, and the previous file's such lines are not
  // copied.
  annotations.clear();
  annotations.add_label_shapes(previous.shapes, classes);
  label_document_.mark_changed();
  update_annotation_colors();
  save_current_annotations();
}

}  // namespace orvane
