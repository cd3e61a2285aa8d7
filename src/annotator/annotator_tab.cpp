// The annotator tab's construction: its three panels and their connections,
// and the dataset tools behind its three buttons.
#include "annotator/annotator_tab.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "annotator/scene_release_watcher.h"
#include "canvas/interactive_canvas.h"
#include "canvas/zoomable_view.h"
#include "dataset_tools/dataset_actions.h"
#include "engine/engine.h"

namespace orvane {

AnnotatorTab::AnnotatorTab(Dialogs& dialogs, Engine& engine, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), engine_(engine) {
  setup_workspace_tab();
}

void AnnotatorTab::setup_workspace_tab() {
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(build_queue_panel());
  layout->addWidget(build_canvas_panel(), 1);
  layout->addWidget(build_tools_panel());
  annotations.attach(canvas, table_objects);
  connect_signals();
  build_dataset_jobs();
  build_shape_history();
  setup_keys();
}

AnnotatorTab::~AnnotatorTab() {
  // The scene and the table emit selection changes while they are torn down;
  // those must not reach this half-destroyed tab.
  canvas->disconnect(this);
  table_objects->disconnect(this);
  list_images->disconnect(this);
}

// Left column: the folder and its images.
QGroupBox* AnnotatorTab::build_queue_panel() {
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
  btn_import_dataset = new QPushButton(QStringLiteral("📥 Import COCO / VOC..."));
  btn_analytics = new QPushButton(QStringLiteral("📊 Dataset Analytics"));
  btn_split_export = new QPushButton(QStringLiteral("📤 Export && Split Dataset"));
  btn_split_export->setObjectName(QStringLiteral("primaryBtn"));
  btn_export_coco_voc = new QPushButton(QStringLiteral("📤 Export COCO / VOC..."));
  progress_dataset_job = new QProgressBar;

  left_layout->addWidget(btn_load_dir);
  left_layout->addWidget(btn_set_output);
  left_layout->addWidget(lbl_output_folder);
  left_layout->addWidget(new QLabel(QStringLiteral("Queue Files:")));
  left_layout->addWidget(list_images);
  left_layout->addLayout(nav);
  left_layout->addWidget(lbl_img_status);
  left_layout->addSpacing(10);
  left_layout->addWidget(btn_health_check);
  left_layout->addWidget(btn_import_dataset);
  left_layout->addWidget(btn_analytics);
  left_layout->addWidget(btn_split_export);
  left_layout->addWidget(btn_export_coco_voc);
  left_layout->addWidget(progress_dataset_job);
  return left;
}

// Middle column: the canvas with the FIT button over its top-right corner.
QWidget* AnnotatorTab::build_canvas_panel() {
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
  return middle;
}

// Right column: drawing mode, assistants and the object table.
QGroupBox* AnnotatorTab::build_tools_panel() {
  auto* right = new QGroupBox(QStringLiteral("AI Annotation Workstation"));
  right->setFixedWidth(310);
  auto* right_layout = new QVBoxLayout(right);
  auto* mode_row = new QHBoxLayout;
  combo_mode = new QComboBox;
  combo_mode->addItems({QStringLiteral("Select/Move"), QStringLiteral("Polygon"),
                        QStringLiteral("Rectangle"), QStringLiteral("Circle"),
                        QStringLiteral("Pentagon")});
  combo_mode->setToolTip(QStringLiteral(
      "Polygon: click each point (clicks on other shapes place points too), right click to "
      "finish, Esc to abandon.\nRectangle, Circle, Pentagon: press and drag.\nA press on a "
      "shape selects it; hold Shift to start a new shape on top of it."));
  mode_row->addWidget(new QLabel(QStringLiteral("Active Mode:")));
  mode_row->addWidget(combo_mode, 1);
  right_layout->addLayout(mode_row);
  right_layout->addWidget(build_ai_group());

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
  auto* class_row = new QHBoxLayout;
  btn_manage_classes = new QPushButton(QStringLiteral("🏷️ Classes..."));
  btn_manage_classes->setToolTip(
      QStringLiteral("Rename, merge, delete or reorder classes in every label file of the folder"));
  btn_undo_class_change = new QPushButton(QStringLiteral("↩ Undo Class Change"));
  btn_undo_class_change->setEnabled(false);
  class_row->addWidget(btn_manage_classes, 2);
  class_row->addWidget(btn_undo_class_change, 3);
  right_layout->addLayout(class_row);
  return right;
}

QGroupBox* AnnotatorTab::build_ai_group() {
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
  return ai_group;
}

void AnnotatorTab::connect_signals() {
  // A shape or a point dragged to a new place is written when the drag ends.
  new SceneReleaseWatcher(canvas, [this] { shapes_dragged(); });
  connect(btn_load_dir, &QPushButton::clicked, this, &AnnotatorTab::load_directory);
  connect(btn_set_output, &QPushButton::clicked, this, &AnnotatorTab::set_output_folder);
  connect(list_images, &QListWidget::currentRowChanged, this, &AnnotatorTab::jump_to_image);
  connect(btn_prev_img, &QPushButton::clicked, this, &AnnotatorTab::prev_image);
  connect(btn_next_img, &QPushButton::clicked, this, &AnnotatorTab::next_image);
  connect(btn_analytics, &QPushButton::clicked, this, &AnnotatorTab::show_dataset_analytics);
  connect(canvas, &InteractiveCanvas::polygon_completed, this, &AnnotatorTab::handle_new_poly);
  connect(canvas, &InteractiveCanvas::point_clicked, this, &AnnotatorTab::handle_canvas_point);
  connect(canvas, &QGraphicsScene::selectionChanged, this, &AnnotatorTab::sync_canvas_selection);
  connect(btn_fit_screen, &QPushButton::clicked, this, &AnnotatorTab::fit_canvas_to_screen);
  connect(combo_mode, &QComboBox::currentTextChanged, this, &AnnotatorTab::change_active_mode);
  connect(btn_copy_prev, &QPushButton::clicked, this, &AnnotatorTab::copy_previous_frame_shapes);
  connect(btn_load_ai, &QPushButton::clicked, this, &AnnotatorTab::load_ai_model);
  connect(btn_run_ai, &QPushButton::clicked, this, &AnnotatorTab::run_ai_autolabel);
  connect(table_objects, &QTableWidget::itemSelectionChanged, this,
          &AnnotatorTab::sync_table_selection);
  connect(btn_delete_shape, &QPushButton::clicked, this, &AnnotatorTab::ann_delete_selected);
  connect(btn_save_annotations, &QPushButton::clicked, this,
          &AnnotatorTab::save_current_annotations);
}

void AnnotatorTab::shapes_dragged() {
  if (annotations.any_moved_since_save()) save_current_annotations();
}

LoadedDataset AnnotatorTab::loaded_dataset() const {
  return {image_folder, image_paths, classes, unreadable_names_};
}

void AnnotatorTab::run_health_check() { dataset_tools_->check_health(loaded_dataset()); }

void AnnotatorTab::show_dataset_analytics() {
  dataset_tools_->show_class_distribution(loaded_dataset());
}

void AnnotatorTab::export_and_split_dataset() { dataset_tools_->export_split(loaded_dataset()); }

void AnnotatorTab::import_dataset() { dataset_tools_->import_dataset(loaded_dataset()); }

}  // namespace orvane
