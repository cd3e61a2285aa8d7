// Reading and writing the current image's label file and the class list.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSignalBlocker>
#include <iostream>

#include "annotator/annotation_items.h"
#include "annotator/annotator_tab.h"
#include "canvas/interactive_canvas.h"
#include "labels/class_list.h"
#include "labels/label_file.h"
#include "labels/label_paths.h"
#include "ui/dialogs.h"

namespace orvane {

void AnnotatorTab::load_existing_annotations(const QString& image_path) {
  annotations.clear();
  kept_label_lines_.clear();
  label_read_error_.clear();
  label_on_disk_.reset();
  shapes_changed_ = false;
  if (!display_cv_img.empty()) {
    const QString label_path = label_path_for_image(image_path);
    LabelFileContent content = read_label_file(label_path, static_cast<int>(classes.size()),
                                               display_cv_img.cols, display_cv_img.rows);
    if (content.unreadable) {
      label_read_error_ =
          QStringLiteral("Cannot read %1: %2").arg(QFileInfo(label_path).fileName(), content.error);
      lbl_img_status->setText(label_read_error_);
      lbl_img_status->setStyleSheet(QLatin1String(kPendingStyle));
    } else {
      if (!content.error.isEmpty()) {
        std::cout << "Error loading annotations: " << content.error.toStdString() << std::endl;
      }
      annotations.add_label_shapes(content.shapes, classes);
      kept_label_lines_ = std::move(content.kept_lines);
      if (content.exists) label_on_disk_ = std::move(content.file_bytes);
    }
  }
  update_annotation_colors();
  shape_history_->reset(snapshot_of(annotations));
}

void AnnotatorTab::save_current_annotations() {
  if (display_cv_img.empty() || shown_image_path_.isEmpty()) return;
  // A file that could not be read is never replaced, and a shape untouched
  // since the file was read or written leaves it as it is: rewriting would
  // change how its lines are written (box lines, rounding, line ends).
  if (read_only_reason(false).isEmpty() &&
      (shapes_changed_ || annotations.any_moved_since_save())) {
    const QString label_path = label_path_for_image(shown_image_path_);
    const QByteArray content =
        format_label_file(annotations.label_shapes(classes), display_cv_img.cols,
                          display_cv_img.rows, kept_label_lines_);
    const bool empty = content.trimmed().isEmpty();
    const bool unchanged = label_on_disk_ ? content == *label_on_disk_ : empty;
    const QString error = unchanged ? QString() : write_label_file(label_path, content);
    if (error.isEmpty()) {
      annotations.mark_saved();
      shapes_changed_ = false;
      if (empty) {
        label_on_disk_.reset();
      } else {
        label_on_disk_ = content;
      }
    } else {
      dialogs_.critical(this, QStringLiteral("Error"),
                        QStringLiteral("Could not save %1:\n%2").arg(label_path, error));
    }
    shape_history_->record(snapshot_of(annotations));
  }
  update_single_list_status();
  show_label_status();
}

QString AnnotatorTab::write_classes() {
  if (image_folder.isEmpty()) return {};
  if (!classes_read_error_.isEmpty()) return classes_read_error_;
  return write_class_list_file(QDir(image_folder).filePath(QStringLiteral("classes.txt")), classes);
}

void AnnotatorTab::save_classes_file() {
  if (image_folder.isEmpty()) return;
  const QString error = write_classes();
  if (!error.isEmpty()) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Could not save %1:\n%2")
                          .arg(QDir(image_folder).filePath(QStringLiteral("classes.txt")), error));
  }
}

QString AnnotatorTab::read_only_reason(bool tell) {
  const QString& reason = !classes_read_error_.isEmpty() ? classes_read_error_ : label_read_error_;
  if (tell && !reason.isEmpty()) {
    dialogs_.warning(this, QStringLiteral("Read-Only"),
                     QStringLiteral("The shapes of this image cannot be changed.\n\n") + reason);
  }
  return reason;
}

}  // namespace orvane
