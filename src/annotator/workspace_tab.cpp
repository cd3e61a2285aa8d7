// The "Image Annotator" tab: its widgets, loading a folder, the image list with
// its marks, showing one image at a time, and moving between images.
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGraphicsPixmapItem>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "annotator/annotation_items.h"
#include "annotator/image_folder.h"
#include "annotator/scene_release_watcher.h"
#include "app/app_core.h"
#include "app/dialogs.h"
#include "canvas/interactive_canvas.h"
#include "canvas/zoomable_view.h"
#include "dataset_tools/dataset_actions.h"
#include "imaging/image_io.h"
#include "labels/class_list.h"
#include "labels/label_file.h"
#include "labels/label_paths.h"

namespace orvane {

namespace {

const char* const kPendingStyle = "color: #D3112E;";
const char* const kAnnotatedStyle = "color: #10B981;";

QString file_name_of(const QString& path) {
  return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

void OrvaneStudio::setup_workspace_tab() {
  auto* layout = new QHBoxLayout(tab_workspace);

  // Left column: the folder and its images.
  auto* left = new QGroupBox(QStringLiteral("Directory && Image Queue"));
  left->setFixedWidth(280);
  auto* left_layout = new QVBoxLayout(left);
  btn_load_dir = new QPushButton(QStringLiteral("📂 Load Directory"));
  btn_set_output = new QPushButton(QStringLiteral("🎯 Set Output Folder"));
  lbl_output_folder = new QLabel(QStringLiteral("Output: Not Set"));
  lbl_output_folder->setStyleSheet(QStringLiteral("color: #8E8E93;"));
  list_images = new QListWidget;
  // Folders of tens of thousands of images: equal rows spare a size query per row.
  list_images->setUniformItemSizes(true);
  auto* nav = new QHBoxLayout;
  btn_prev_img = new QPushButton(QStringLiteral("◄ Prev"));
  btn_next_img = new QPushButton(QStringLiteral("Next ►"));
  nav->addWidget(btn_prev_img);
  nav->addWidget(btn_next_img);
  lbl_img_status = new QLabel(QStringLiteral("Status: Pending"));
  lbl_img_status->setAlignment(Qt::AlignCenter);
  // Also names an image that could not be read, which can be long.
  lbl_img_status->setWordWrap(true);
  btn_health_check = new QPushButton(QStringLiteral("🩺 Dataset Health Inspector"));
  btn_analytics = new QPushButton(QStringLiteral("📊 Dataset Analytics"));
  btn_split_export = new QPushButton(QStringLiteral("📤 Export && Split Dataset"));
  btn_split_export->setObjectName(QStringLiteral("primaryBtn"));

  left_layout->addWidget(btn_load_dir);
  left_layout->addWidget(btn_set_output);
  left_layout->addWidget(lbl_output_folder);
  left_layout->addWidget(new QLabel(QStringLiteral("Queue Files:")));
  left_layout->addWidget(list_images);
  left_layout->addLayout(nav);
  left_layout->addWidget(lbl_img_status);
  left_layout->addSpacing(10);
  left_layout->addWidget(btn_health_check);
  left_layout->addWidget(btn_analytics);
  left_layout->addWidget(btn_split_export);

  // Middle column: the canvas with the FIT button over its top-right corner.
  auto* middle = new QWidget;
  auto* grid = new QGridLayout(middle);
  grid->setContentsMargins(0, 0, 0, 0);
  canvas = new InteractiveCanvas(this);
  canvas_view = new ZoomableView;
  canvas_view->setScene(canvas);
  btn_fit_screen = new QPushButton(QStringLiteral("FIT"));
  btn_fit_screen->setFixedSize(48, 32);
  grid->addWidget(canvas_view, 0, 0);
  grid->addWidget(btn_fit_screen, 0, 0, Qt::AlignTop | Qt::AlignRight);

  // Right column: drawing mode, assistants and the object table.
  auto* right = new QGroupBox(QStringLiteral("AI Annotation Workstation"));
  right->setFixedWidth(310);
  auto* right_layout = new QVBoxLayout(right);
  auto* mode_row = new QHBoxLayout;
  combo_mode = new QComboBox;
  combo_mode->addItems({QStringLiteral("Select/Move"), QStringLiteral("Polygon"),
                        QStringLiteral("Rectangle"), QStringLiteral("Circle"),
                        QStringLiteral("Pentagon")});
  mode_row->addWidget(new QLabel(QStringLiteral("Active Mode:")));
  mode_row->addWidget(combo_mode, 1);
  right_layout->addLayout(mode_row);

  auto* ai_group = new QGroupBox(QStringLiteral("AI Assist && Auto-Labeling"));
  auto* ai_layout = new QVBoxLayout(ai_group);
  btn_copy_prev = new QPushButton(QStringLiteral("📋 Copy Previous Frame Shapes"));
  btn_load_ai = new QPushButton(QStringLiteral("🧠 Load AI Model (.pt)"));
  auto* conf_row = new QHBoxLayout;
  spin_ai_conf = new QDoubleSpinBox;
  spin_ai_conf->setRange(0.01, 1.0);
  spin_ai_conf->setSingleStep(0.05);
  spin_ai_conf->setValue(0.25);
  conf_row->addWidget(new QLabel(QStringLiteral("AI Conf:")));
  conf_row->addWidget(spin_ai_conf);
  btn_run_ai = new QPushButton(QStringLiteral("🤖 Auto-Label Frame"));
  btn_run_ai->setEnabled(false);
  ai_layout->addWidget(btn_copy_prev);
  ai_layout->addWidget(btn_load_ai);
  ai_layout->addLayout(conf_row);
  ai_layout->addWidget(btn_run_ai);
  right_layout->addWidget(ai_group);

  right_layout->addWidget(new QLabel(QStringLiteral("Annotated Objects:")));
  table_objects = new QTableWidget(0, 2);
  table_objects->setHorizontalHeaderLabels({QStringLiteral("Label"), QStringLiteral("Shape")});
  table_objects->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_objects->setSelectionBehavior(QAbstractItemView::SelectRows);
  // One shape at a time: delete and the canvas highlight follow a single row,
  // and an edit in the table would not reach the label file.
  table_objects->setSelectionMode(QAbstractItemView::SingleSelection);
  table_objects->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Row numbers add nothing here, and the style sheet gives their empty part
  // and the corner button no colour of the theme.
  table_objects->verticalHeader()->setVisible(false);
  right_layout->addWidget(table_objects);
  btn_delete_shape = new QPushButton(QStringLiteral("🗑️ Delete Selected Shape"));
  btn_save_annotations = new QPushButton(QStringLiteral("💾 Save Annotations && Workspace"));
  right_layout->addWidget(btn_delete_shape);
  right_layout->addWidget(btn_save_annotations);

  layout->addWidget(left);
  layout->addWidget(middle, 1);
  layout->addWidget(right);

  // A shape dragged to a new place is written when the drag ends.
  new SceneReleaseWatcher(canvas, [this] {
    for (const AnnotationRecord& record : annotations) {
      if (moved_since_save(record.item)) {
        save_current_annotations();
        return;
      }
    }
  });

  connect(btn_load_dir, &QPushButton::clicked, this, &OrvaneStudio::load_directory);
  connect(btn_set_output, &QPushButton::clicked, this, &OrvaneStudio::set_output_folder);
  connect(list_images, &QListWidget::currentRowChanged, this, &OrvaneStudio::jump_to_image);
  connect(btn_prev_img, &QPushButton::clicked, this, &OrvaneStudio::prev_image);
  connect(btn_next_img, &QPushButton::clicked, this, &OrvaneStudio::next_image);
  connect(btn_health_check, &QPushButton::clicked, this, &OrvaneStudio::run_health_check);
  connect(btn_analytics, &QPushButton::clicked, this, &OrvaneStudio::show_dataset_analytics);
  connect(btn_split_export, &QPushButton::clicked, this, &OrvaneStudio::export_and_split_dataset);
  connect(canvas, &InteractiveCanvas::polygon_completed, this, &OrvaneStudio::handle_new_poly);
  connect(canvas, &InteractiveCanvas::point_clicked, this, &OrvaneStudio::handle_canvas_point);
  connect(canvas, &QGraphicsScene::selectionChanged, this, &OrvaneStudio::sync_canvas_selection);
  connect(btn_fit_screen, &QPushButton::clicked, this, &OrvaneStudio::fit_canvas_to_screen);
  connect(combo_mode, &QComboBox::currentTextChanged, this, &OrvaneStudio::change_active_mode);
  connect(btn_copy_prev, &QPushButton::clicked, this, &OrvaneStudio::copy_previous_frame_shapes);
  connect(table_objects, &QTableWidget::itemSelectionChanged, this,
          &OrvaneStudio::sync_table_selection);
  connect(btn_delete_shape, &QPushButton::clicked, this, &OrvaneStudio::ann_delete_selected);
  connect(btn_save_annotations, &QPushButton::clicked, this,
          &OrvaneStudio::save_current_annotations);
}

void OrvaneStudio::load_directory() {
  const QString folder =
      dialogs().get_existing_directory(this, QStringLiteral("Select Image Directory"));
  if (folder.isEmpty()) return;
  // Shapes moved since the last save belong to the image being left.
  save_current_annotations();

  const ImageFolderListing listing = list_image_folder(folder);
  if (!listing.error.isEmpty()) {
    dialogs().critical(this, QStringLiteral("Error"),
                       QStringLiteral("Cannot open the folder %1: %2.").arg(folder, listing.error));
    return;
  }
  image_folder = folder;
  image_paths = listing.image_paths;
  const ClassListFile class_file =
      read_class_list_file(QDir(folder).filePath(QStringLiteral("classes.txt")));
  if (class_file.exists) classes = class_file.names;
  populate_image_list();
  failed_idx = -1;
  if (!image_paths.isEmpty()) {
    current_idx = 0;
    load_current_image();
  }
  if (!shown_image_path.isEmpty() && !image_paths.contains(shown_image_path)) {
    // The picture of the previous folder stays on the canvas, but its shapes
    // (saved above) go: they would otherwise be saved against this folder's
    // class list, and new shapes would have no label file of this folder.
    {
      const QSignalBlocker scene_blocker(canvas);
      const QSignalBlocker table_blocker(table_objects);
      for (const AnnotationRecord& record : annotations) {
        canvas->removeItem(record.item);
        delete record.item;
      }
      table_objects->setRowCount(0);
    }
    annotations.clear();
    kept_label_lines.clear();
    shown_image_path.clear();
  }
}

void OrvaneStudio::set_output_folder() {
  const QString folder =
      dialogs().get_existing_directory(this, QStringLiteral("Select Output Directory"));
  if (folder.isEmpty()) return;
  output_folder = folder;
  QString name = QFileInfo(folder).fileName();
  if (name.isEmpty()) name = folder;  // the root folder has no last component
  lbl_output_folder->setText(QStringLiteral("Output: ") + name);
}

void OrvaneStudio::populate_image_list() {
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
        in_folder ? txt_names.contains(label.mid(prefix.size())) : QFileInfo::exists(label);
    entries.push_back(image_list_entry(path, has_label));
  }
  const QSignalBlocker blocker(list_images);
  list_images->clear();
  list_images->addItems(entries);
}

void OrvaneStudio::load_current_image() {
  if (image_paths.isEmpty() || current_idx < 0 || current_idx >= image_paths.size()) return;
  const QString path = image_paths[current_idx];
  DecodedImage decoded = read_image_file(path);
  if (decoded.image.empty()) {
    failed_idx = current_idx;
    // Stay on the image that is shown, so its shapes are never saved under
    // the name of the image that could not be read.
    const int shown = static_cast<int>(image_paths.indexOf(shown_image_path));
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
  failed_idx = -1;
  display_cv_img = std::move(decoded.image);
  shown_image_path = path;
  {
    const QSignalBlocker blocker(list_images);
    list_images->setCurrentRow(current_idx);
  }
  // The mark may be stale when another program changed the folder.
  update_single_list_status();
  if (QFileInfo::exists(label_path_for_image(path))) {
    lbl_img_status->setText(QStringLiteral("STATUS: ANNOTATED"));
    lbl_img_status->setStyleSheet(QLatin1String(kAnnotatedStyle));
  } else {
    lbl_img_status->setText(QStringLiteral("STATUS: PENDING"));
    lbl_img_status->setStyleSheet(QLatin1String(kPendingStyle));
  }
  annotations.clear();  // their items go with the scene below
  kept_label_lines.clear();
  render_canvas_image(true);
  load_existing_annotations(path);
}

void OrvaneStudio::render_canvas_image(bool reset_zoom) {
  if (display_cv_img.empty()) return;
  const QTransform transform = canvas_view->transform();
  const int h_scroll = canvas_view->horizontalScrollBar()->value();
  const int v_scroll = canvas_view->verticalScrollBar()->value();
  {
    const QSignalBlocker scene_blocker(canvas);
    const QSignalBlocker table_blocker(table_objects);
    // A shape half drawn on the old picture does not carry over.
    canvas->reset_drawing();
    for (const AnnotationRecord& record : annotations) {
      if (record.item->scene() == canvas) canvas->removeItem(record.item);
    }
    canvas->clear();
    // The pixmap shows display_cv_img's own pixels; that image is only ever
    // replaced whole, never changed in place.
    QGraphicsPixmapItem* pixmap = canvas->addPixmap(bgr_pixmap_sharing(display_cv_img));
    // Without an alpha channel the mask would be the whole image anyway.
    pixmap->setShapeMode(QGraphicsPixmapItem::BoundingRectShape);
    canvas->setSceneRect(0, 0, display_cv_img.cols, display_cv_img.rows);
    for (const AnnotationRecord& record : annotations) canvas->addItem(record.item);
  }
  if (reset_zoom) {
    fit_canvas_to_screen();
  } else {
    canvas_view->setTransform(transform);
    canvas_view->horizontalScrollBar()->setValue(h_scroll);
    canvas_view->verticalScrollBar()->setValue(v_scroll);
  }
}

void OrvaneStudio::fit_canvas_to_screen() {
  const QRectF rect = canvas->sceneRect();
  if (rect.width() > 0) canvas_view->fitInView(rect, Qt::KeepAspectRatio);
}

void OrvaneStudio::jump_to_image(int row) {
  if (row < 0 || row >= image_paths.size() || row == current_idx) return;
  save_current_annotations();
  current_idx = row;
  load_current_image();
}

void OrvaneStudio::prev_image() {
  const int from = failed_idx >= 0 ? failed_idx : current_idx;
  if (from <= 0) return;
  save_current_annotations();
  current_idx = from - 1;
  load_current_image();
}

void OrvaneStudio::next_image() {
  const int from = failed_idx >= 0 ? failed_idx : current_idx;
  if (from >= image_paths.size() - 1) return;
  save_current_annotations();
  current_idx = from + 1;
  load_current_image();
}

void OrvaneStudio::update_single_list_status() {
  if (current_idx < 0 || current_idx >= image_paths.size()) return;
  const QString label = label_path_for_image(image_paths[current_idx]);
  const bool has_label = QFileInfo::exists(label);
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

void OrvaneStudio::run_health_check() {
  DatasetTools(dialogs(), this).check_health({image_folder, image_paths, classes});
}

void OrvaneStudio::show_dataset_analytics() {
  DatasetTools(dialogs(), this).show_class_distribution({image_folder, image_paths, classes});
}

void OrvaneStudio::export_and_split_dataset() {
  DatasetTools(dialogs(), this).export_split({image_folder, image_paths, classes});
}

}  // namespace orvane
