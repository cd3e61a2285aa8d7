// Reading and writing the current image's label file and the class list.
#include <QLabel>
#include <iostream>

#include "annotator/annotator_tab.h"
#include "labels/label_document.h"
#include "ui/dialogs.h"

namespace orvane {

void AnnotatorTab::load_existing_annotations(const QString& image_path) {
  annotations.clear();
  const LabelLoad loaded = label_document_.load(
      image_path, display_cv_img.cols, display_cv_img.rows, static_cast<int>(classes.size()));
  if (!label_document_.label_read_error().isEmpty()) {
    lbl_img_status->setText(label_document_.label_read_error());
    lbl_img_status->setStyleSheet(QLatin1String(kPendingStyle));
  } else {
    if (!loaded.error.isEmpty()) {
      std::cout << "Error loading annotations: " << loaded.error.toStdString() << std::endl;
    }
    annotations.add_label_shapes(loaded.shapes, classes);
    show_label_status();
  }
  update_annotation_colors();
  shape_history_->reset(snapshot_of(annotations));
}

void AnnotatorTab::save_current_annotations() {
  if (display_cv_img.empty() || !label_document_.has_image()) return;
  if (label_document_.needs_write(annotations.any_moved_since_save())) {
    const QString class_error = give_folder_its_class_list();
    if (!class_error.isEmpty()) {
      dialogs_.critical(this, QStringLiteral("Error"),
                        QStringLiteral("Could not save %1:\n%2\n\nThe shapes of this image were "
                                       "not saved.")
                            .arg(LabelDocument::classes_path(image_folder), class_error));
      update_single_list_status();
      show_label_status();
      return;
    }
    const LabelWrite written =
        label_document_.write(annotations.label_shapes(classes), static_cast<int>(classes.size()));
    if (written.reloaded) {
      // Another program changed the file: show it as it is now.
      annotations.clear();
      annotations.add_label_shapes(*written.reloaded, classes);
      update_annotation_colors();
    } else if (written.error.isEmpty()) {
      annotations.mark_saved();
    }
    if (!written.error.isEmpty()) {
      dialogs_.critical(this, QStringLiteral("Error"),
                        QStringLiteral("Could not save %1:\n%2")
                            .arg(label_document_.label_path(), written.error));
    }
    if (written.reloaded) {
      shape_history_->reset(snapshot_of(annotations));
    } else {
      shape_history_->record(snapshot_of(annotations));
    }
  }
  update_single_list_status();
  show_label_status();
}

void AnnotatorTab::save_classes_file() {
  if (image_folder.isEmpty()) return;
  const QString error = add_classes({});
  if (!error.isEmpty()) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Could not save %1:\n%2")
                          .arg(LabelDocument::classes_path(image_folder), error));
  }
}

QString AnnotatorTab::give_folder_its_class_list() {
  if (annotations.empty() || image_folder.isEmpty() || label_document_.has_class_list()) return {};
  return add_classes({});
}

QString AnnotatorTab::add_classes(const QStringList& names) {
  QStringList wanted = classes;
  for (const QString& name : names) {
    if (!wanted.contains(name)) wanted.push_back(name);
  }
  const ClassWrite written = label_document_.write_classes(image_folder, wanted);
  if (!written.error.isEmpty()) return written.error;
  classes = written.classes;
  if (written.reloaded) {
    update_annotation_colors();
    show_label_status();
  }
  return {};
}

QString AnnotatorTab::read_only_reason(bool tell) {
  const QString& reason = label_document_.read_only_reason();
  if (tell && !reason.isEmpty()) {
    dialogs_.warning(this, QStringLiteral("Read-Only"),
                     QStringLiteral("The shapes of this image cannot be changed.\n\n") + reason);
  }
  return reason;
}

}  // namespace orvane
