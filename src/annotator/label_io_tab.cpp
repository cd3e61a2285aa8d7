// Reading and writing the current image's label file and the class list.
#include <QDir>
#include <QGraphicsPolygonItem>
#include <QHash>
#include <QSignalBlocker>
#include <QTableWidget>
#include <iostream>

#include "annotator/annotation_items.h"
#include "app/app_core.h"
#include "app/dialogs.h"
#include "canvas/interactive_canvas.h"
#include "labels/class_list.h"
#include "labels/label_file.h"
#include "labels/label_paths.h"

namespace orvane {

void OrvaneStudio::load_existing_annotations(const QString& image_path) {
  annotations.clear();
  kept_label_lines.clear();
  const QSignalBlocker table_blocker(table_objects);
  const QSignalBlocker scene_blocker(canvas);
  table_objects->setRowCount(0);
  if (!display_cv_img.empty()) {
    LabelFileContent content =
        read_label_file(label_path_for_image(image_path), static_cast<int>(classes.size()),
                        display_cv_img.cols, display_cv_img.rows);
    if (!content.error.isEmpty()) {
      std::cout << "Error loading annotations: " << content.error.toStdString() << std::endl;
    }
    const int count = static_cast<int>(content.shapes.size());
    table_objects->setRowCount(count);
    annotations.reserve(content.shapes.size());
    for (int row = 0; row < count; ++row) {
      LabelShape& shape = content.shapes[static_cast<std::size_t>(row)];
      const QString& label = classes[shape.class_id];
      QGraphicsPolygonItem* item = new_annotation_item(shape.points);
      canvas->addItem(item);
      annotations.push_back({item, label, shape.type});
      table_objects->setItem(row, 0, new QTableWidgetItem(label));
      table_objects->setItem(row, 1, new QTableWidgetItem(shape.type));
    }
    kept_label_lines = std::move(content.kept_lines);
  }
  update_annotation_colors();
}

void OrvaneStudio::save_current_annotations() {
  if (display_cv_img.empty() || shown_image_path.isEmpty()) return;
  const QString label_path = label_path_for_image(shown_image_path);

  const ClassIds ids(classes);
  std::vector<LabelShape> shapes(annotations.size());
  for (std::size_t i = 0; i < annotations.size(); ++i) {
    const AnnotationRecord& record = annotations[i];
    shapes[i].class_id = std::max(ids.id_of(record.label), 0);
    shapes[i].points = record.item->mapToScene(record.item->polygon());
  }
  const QByteArray content =
      format_label_file(shapes, display_cv_img.cols, display_cv_img.rows, kept_label_lines);
  const QString error = write_label_file(label_path, content);
  if (error.isEmpty()) {
    for (const AnnotationRecord& record : annotations) mark_position_saved(record.item);
  } else {
    dialogs().critical(this, QStringLiteral("Error"),
                       QStringLiteral("Could not save %1:\n%2").arg(label_path, error));
  }
  update_single_list_status();
}

void OrvaneStudio::save_classes_file() {
  if (image_folder.isEmpty()) return;
  const QString path = QDir(image_folder).filePath(QStringLiteral("classes.txt"));
  const QString error = write_class_list_file(path, classes);
  if (!error.isEmpty()) {
    dialogs().critical(this, QStringLiteral("Error"),
                       QStringLiteral("Could not save %1:\n%2").arg(path, error));
  }
}

}  // namespace orvane
