// Reading and writing the current image's label file and the class list.
#include <QDir>
#include <QGraphicsPolygonItem>
#include <QHash>
#include <QSignalBlocker>
#include <QTableWidget>
#include <iostream>

#include "annotator/annotation_items.h"
#include "annotator/annotator_tab.h"
#include "app/dialogs.h"
#include "canvas/interactive_canvas.h"
#include "labels/class_list.h"
#include "labels/label_file.h"
#include "labels/label_paths.h"

namespace orvane {

void AnnotatorTab::load_existing_annotations(const QString& image_path) {
  annotations.clear();
  kept_label_lines_.clear();
  if (!display_cv_img.empty()) {
    LabelFileContent content =
        read_label_file(label_path_for_image(image_path), static_cast<int>(classes.size()),
                        display_cv_img.cols, display_cv_img.rows);
    if (!content.error.isEmpty()) {
      std::cout << "Error loading annotations: " << content.error.toStdString() << std::endl;
    }
    annotations.add_label_shapes(content.shapes, classes);
    kept_label_lines_ = std::move(content.kept_lines);
  }
  update_annotation_colors();
}

void AnnotatorTab::save_current_annotations() {
  if (display_cv_img.empty() || shown_image_path_.isEmpty()) return;
  const QString label_path = label_path_for_image(shown_image_path_);

  const QByteArray content =
      format_label_file(annotations.label_shapes(classes), display_cv_img.cols, display_cv_img.rows,
                        kept_label_lines_);
  const QString error = write_label_file(label_path, content);
  if (error.isEmpty()) {
    annotations.mark_saved();
  } else {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Could not save %1:\n%2").arg(label_path, error));
  }
  update_single_list_status();
}

void AnnotatorTab::save_classes_file() {
  if (image_folder.isEmpty()) return;
  const QString path = QDir(image_folder).filePath(QStringLiteral("classes.txt"));
  const QString error = write_class_list_file(path, classes);
  if (!error.isEmpty()) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Could not save %1:\n%2").arg(path, error));
  }
}

}  // namespace orvane
