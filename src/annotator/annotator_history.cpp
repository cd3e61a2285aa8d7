// Undo and redo of the shown image's shapes: the keys, and how a step is
// shown and written.
#include <QGraphicsScene>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableWidget>

#include "annotator/annotator_tab.h"
#include "canvas/interactive_canvas.h"

namespace orvane {

void AnnotatorTab::build_shape_history() {
  shape_history_ = std::make_unique<ShapeHistory>(
      [this](const ShapeSnapshot& shapes) { show_history_step(shapes); });
  // Window-wide while this tab is shown; a text field with focus keeps these
  // keys for its own undo.
  auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
  auto* redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
  auto* redo_y = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), this);
  connect(undo, &QShortcut::activated, this, [this] { shape_history_->undo(); });
  connect(redo, &QShortcut::activated, this, [this] { shape_history_->redo(); });
  connect(redo_y, &QShortcut::activated, this, [this] { shape_history_->redo(); });
}

void AnnotatorTab::show_history_step(const ShapeSnapshot& shapes) {
  {
    const QSignalBlocker scene_blocker(canvas);
    const QSignalBlocker table_blocker(table_objects);
    restore_shapes(annotations, shapes);
    table_objects->clearSelection();
    table_objects->selectionModel()->clearCurrentIndex();
  }
  label_document_.mark_changed();
  update_annotation_colors();
  save_current_annotations();
}

}  // namespace orvane
