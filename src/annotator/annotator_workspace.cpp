// The annotator's workspace: loading a folder, the image list with its marks,
// showing one image at a time, moving between images, and the dataset tools'
// background jobs.
#include <QFileInfo>
#include <QGraphicsPixmapItem>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>

#include "annotator/annotator_tab.h"
#include "annotator/image_folder.h"
#include "canvas/interactive_canvas.h"
#include "canvas/zoomable_view.h"
#include "fileio/folder_listing.h"
#include "imaging/image_io.h"
#include "labels/label_document.h"
#include "labels/label_paths.h"
#include "ui/dialogs.h"

namespace orvane {

void AnnotatorTab::load_directory() {
  const QString folder =
      dialogs_.get_existing_directory(this, QStringLiteral("Select Image Directory"));
  if (folder.isEmpty()) return;
  // Shapes moved since the last save belong to the image being left.
  save_current_annotations();

  const ImageFolderListing listing = list_image_folder(folder);
  if (!listing.error.isEmpty()) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Cannot open the folder %1: %2.").arg(folder, listing.error));
    return;
  }
  image_folder = folder;
  image_paths = listing.image_paths;
  read_ahead_.reset();
  unreadable_names_ = listing.unreadable_names;
  const ClassListFile class_file = label_document_.read_classes(folder);
  if (class_file.exists) {
    classes = class_file.names;
  } else if (has_label_files(listing)) {
    // The names of another folder would give this folder's label files
    // meanings they never had; they carry over only to a folder with none.
    classes.clear();
  }
  if (!class_file.error.isEmpty()) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Cannot read %1:\n%2\n\nNo shape, class or label file of "
                                     "this folder is saved until the folder is loaded again.")
                          .arg(LabelDocument::classes_path(folder), class_file.error));
  }
  if (unreadable_names_ > 0) {
    dialogs_.warning(this, QStringLiteral("Unreadable Names"),
                     QStringLiteral("%1 file(s) of this folder have names that are not valid "
                                    "UTF-8. They cannot be opened and are left out.")
                         .arg(unreadable_names_));
  }
  populate_image_list();
  failed_idx_ = -1;
  if (image_paths.isEmpty()) {
    current_idx = 0;
    clear_shown_image(QStringLiteral("STATUS: NO IMAGES IN THIS FOLDER"));
    return;
  }
  current_idx = 0;
  load_current_image();
  if (label_document_.has_image() && !image_paths.contains(label_document_.image_path())) {
    // The picture of the previous folder stays on the canvas, but its shapes
    // (saved above) go: they would otherwise be saved against this folder's
    // class list, and new shapes would have no label file of this folder.
    annotations.clear();
    label_document_.close();
    shape_history_->reset({});
  }
}

void AnnotatorTab::set_output_folder() {
  const QString folder =
      dialogs_.get_existing_directory(this, QStringLiteral("Select Output Directory"));
  if (folder.isEmpty()) return;
  output_folder = folder;
  QString name = QFileInfo(folder).fileName();
  if (name.isEmpty()) name = folder;  // the root folder has no last component
  lbl_output_folder->setText(QStringLiteral("Output: ") + name);
}

void AnnotatorTab::populate_image_list() {
  // One listing of the folder answers "has a label file" for every image in it.
  const QSet<QString> txt_names =
      image_folder.isEmpty() ? QSet<QString>() : txt_names_in(image_folder);
  const QString prefix =
      image_folder.endsWith(QLatin1Char('/')) ? image_folder : image_folder + QLatin1Char('/');
  QStringList entries;
  entries.reserve(image_paths.size());
  for (const QString& path : image_paths) {
    const QString label = label_path_for_image(path);
    const bool in_folder = !image_folder.isEmpty() && label.startsWith(prefix) &&
                           label.indexOf(QLatin1Char('/'), prefix.size()) < 0;
    const bool has_label =
        !is_class_list_path(label) &&
        (in_folder ? txt_names.contains(label.mid(prefix.size())) : QFileInfo::exists(label));
    entries.push_back(image_list_entry(path, has_label));
  }
  const QSignalBlocker blocker(list_images);
  list_images->clear();
  list_images->addItems(entries);
}

void AnnotatorTab::load_current_image() {
  if (image_paths.isEmpty() || current_idx < 0 || current_idx >= image_paths.size()) return;
  const QString path = image_paths[current_idx];
  // Kept decoded: this image, then the next, then the previous one.
  QStringList near{path};
  if (current_idx + 1 < image_paths.size()) near.push_back(image_paths[current_idx + 1]);
  if (current_idx > 0) near.push_back(image_paths[current_idx - 1]);
  read_ahead_.focus(near);
  DecodedImage decoded = read_ahead_.read(path);
  if (decoded.image.empty()) {
    failed_idx_ = current_idx;
    // Stay on the image that is shown, so its shapes are never saved under
    // the name of the image that could not be read.
    const int shown = static_cast<int>(image_paths.indexOf(label_document_.image_path()));
    if (shown >= 0) current_idx = shown;
    {
      const QSignalBlocker blocker(list_images);
      list_images->setCurrentRow(shown);
    }
    lbl_img_status->setText(
        QStringLiteral("Cannot read %1: %2").arg(file_name_of(path), decoded.error));
    lbl_img_status->setStyleSheet(QLatin1String(kPendingStyle));
    return;
  }
  failed_idx_ = -1;
  display_cv_img = std::move(decoded.image);
  label_document_.show(path);
  {
    const QSignalBlocker blocker(list_images);
    list_images->setCurrentRow(current_idx);
  }
  // The mark may be stale when another program changed the folder.
  update_single_list_status();
  show_label_status();
  annotations.clear();
  render_canvas_image(true);
  load_existing_annotations(path);
}

void AnnotatorTab::render_canvas_image(bool reset_zoom) {
  if (display_cv_img.empty()) return;
  const QTransform transform = canvas_view->transform();
  const int h_scroll = canvas_view->horizontalScrollBar()->value();
  const int v_scroll = canvas_view->verticalScrollBar()->value();
  {
    const QSignalBlocker scene_blocker(canvas);
    const QSignalBlocker table_blocker(table_objects);
    // A shape half drawn on the old picture does not carry over.
    canvas->reset_drawing();
    annotations.take_items_off_scene();
    canvas->clear();
    // The pixmap shows display_cv_img's own pixels; that image is only ever
    // replaced whole, never changed in place.
    QGraphicsPixmapItem* pixmap = canvas->addPixmap(bgr_pixmap_sharing(display_cv_img));
    // Without an alpha channel the mask would be the whole image anyway.
    pixmap->setShapeMode(QGraphicsPixmapItem::BoundingRectShape);
    canvas->setSceneRect(0, 0, display_cv_img.cols, display_cv_img.rows);
    annotations.put_items_on_scene();
  }
  if (reset_zoom) {
    fit_canvas_to_screen();
  } else {
    canvas_view->setTransform(transform);
    canvas_view->horizontalScrollBar()->setValue(h_scroll);
    canvas_view->verticalScrollBar()->setValue(v_scroll);
  }
}

void AnnotatorTab::fit_canvas_to_screen() {
  const QRectF rect = canvas->sceneRect();
  if (!display_cv_img.empty() && rect.width() > 0) canvas_view->fit_to(rect);
}

void AnnotatorTab::show_label_status() {
  if (!label_document_.has_image()) return;
  QString text;
  if (!label_document_.label_read_error().isEmpty()) {
    text = label_document_.label_read_error();
    lbl_img_status->setStyleSheet(QLatin1String(kPendingStyle));
  } else if (QFileInfo::exists(label_document_.label_path())) {
    text = QStringLiteral("STATUS: ANNOTATED");
    lbl_img_status->setStyleSheet(QLatin1String(kAnnotatedStyle));
  } else {
    text = QStringLiteral("STATUS: PENDING");
    lbl_img_status->setStyleSheet(QLatin1String(kPendingStyle));
  }
  for (const QString& note : {label_document_.unshown_lines(), label_document_.notice()}) {
    if (!note.isEmpty()) text += QLatin1Char('\n') + note;
  }
  lbl_img_status->setText(text);
}

void AnnotatorTab::clear_shown_image(const QString& status) {
  annotations.clear();
  label_document_.close();
  display_cv_img.release();
  failed_idx_ = -1;
  {
    const QSignalBlocker scene_blocker(canvas);
    canvas->reset_drawing();
    canvas->clear();
  }
  lbl_img_status->setText(status);
  lbl_img_status->setStyleSheet(QLatin1String(kPendingStyle));
}

void AnnotatorTab::jump_to_image(int row) {
  if (row < 0 || row >= image_paths.size() || row == current_idx) return;
  save_current_annotations();
  current_idx = row;
  load_current_image();
}

void AnnotatorTab::prev_image() {
  const int from = failed_idx_ >= 0 ? failed_idx_ : current_idx;
  if (from <= 0) return;
  save_current_annotations();
  current_idx = from - 1;
  load_current_image();
}

void AnnotatorTab::next_image() {
  const int from = failed_idx_ >= 0 ? failed_idx_ : current_idx;
  if (from >= image_paths.size() - 1) return;
  save_current_annotations();
  current_idx = from + 1;
  load_current_image();
}

void AnnotatorTab::build_dataset_jobs() {
  dataset_tools_ = std::make_unique<DatasetTools>(
      dialogs_, this, work_,
      DatasetJobWidgets{btn_health_check, btn_split_export, btn_import_dataset,
                        progress_dataset_job, btn_export_coco_voc});
  // While a job runs, the button that started it is its Cancel.
  work_.bind_start(btn_health_check, [this] { run_health_check(); });
  work_.bind_start(btn_split_export, [this] { export_and_split_dataset(); });
  work_.bind_start(btn_import_dataset, [this] { import_dataset(); });
  work_.bind_start(btn_export_coco_voc,
                   [this] { dataset_tools_->export_coco_voc(loaded_dataset()); });
  connect_class_actions();
  work_.bind_model(&ai_model);
  connect(&work_, &TabWork::stopped, this, [this] {
    btn_run_ai->setEnabled(ai_model != nullptr);
    if (end_ai_prediction()) Q_EMIT prediction_finished();
  });
}

void AnnotatorTab::update_single_list_status() {
  if (current_idx < 0 || current_idx >= image_paths.size()) return;
  const QString label = label_path_for_image(image_paths[current_idx]);
  const bool has_label = !is_class_list_path(label) && QFileInfo::exists(label);
  auto refresh = [&](qsizetype row) {
    if (QListWidgetItem* item = list_images->item(static_cast<int>(row))) {
      item->setText(image_list_entry(image_paths[row], has_label));
    }
  };
  refresh(current_idx);
  // Images that differ only in extension (a.jpg, a.png) share the label file.
  // They all start with "a." and so sit in one run of the sorted list.
  const QString stem = label.chopped(3);
  for (qsizetype row = current_idx - 1; row >= 0 && image_paths[row].startsWith(stem); --row) {
    if (label_path_for_image(image_paths[row]) == label) refresh(row);
  }
  for (qsizetype row = current_idx + 1;
       row < image_paths.size() && image_paths[row].startsWith(stem); ++row) {
    if (label_path_for_image(image_paths[row]) == label) refresh(row);
  }
}

}  // namespace orvane
