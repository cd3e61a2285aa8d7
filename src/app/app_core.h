// OrvaneStudio: the one main window. It owns every tab's widgets and state as
// public members; each tab's operations are defined in that tab's *_tab.cpp.
#pragma once

#include <QByteArrayList>
#include <QGraphicsPolygonItem>
#include <QList>
#include <QMainWindow>
#include <QPointF>
#include <QPolygonF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QShortcut;
class QTableWidget;
class QTabWidget;
class QWidget;

namespace orvane {

class Dialogs;
class InteractiveCanvas;
class ThemeToggle;
class ZoomableView;
class YoloModel;

// One shape of the current image (the object table's row of the same index).
struct AnnotationRecord {
  QGraphicsPolygonItem* item = nullptr;  // owned by the canvas scene
  QString label;
  QString type;
};

class OrvaneStudio : public QMainWindow {
  Q_OBJECT

 public:
  explicit OrvaneStudio(QWidget* parent = nullptr);
  ~OrvaneStudio() override;

  // The seam every message box, file chooser and modal dialog goes through.
  Dialogs& dialogs();
  void set_dialogs(std::unique_ptr<Dialogs> dialogs);

  // --- shell ---
  void init_ui();
  void setup_shortcuts();
  void apply_theme(bool is_dark);

  void setup_resizer_tab();
  void setup_splitter_tab();
  void setup_aug_tab();
  void setup_workspace_tab();
  void setup_config_tab();
  void setup_progress_tab();
  void setup_inference_tab();

  // --- annotator: label files and class list ---
  void load_existing_annotations(const QString& image_path);
  void save_current_annotations();
  void save_classes_file();

  // --- annotator: workspace ---
  void load_directory();
  void set_output_folder();
  void populate_image_list();
  void load_current_image();
  void render_canvas_image(bool reset_zoom = false);
  void fit_canvas_to_screen();
  void jump_to_image(int row);
  void prev_image();
  void next_image();
  void update_single_list_status();

  // --- annotator: shapes and the object table ---
  void change_active_mode(const QString& mode);
  void handle_canvas_point(const QPointF& pt);
  void handle_new_poly(const QPolygonF& poly);
  void update_annotation_colors();
  void sync_table_selection();
  void sync_canvas_selection();
  void ann_delete_selected();
  void copy_previous_frame_shapes();

  // --- dataset tools ---
  void run_health_check();
  void show_dataset_analytics();
  void export_and_split_dataset();

  // --- data members, in creation order ---
  bool is_dark_mode = true;
  QString image_folder;
  QStringList image_paths;
  int current_idx = 0;
  cv::Mat display_cv_img;  // empty: no image shown
  QStringList classes;
  std::vector<AnnotationRecord> annotations;
  QString last_label;
  std::shared_ptr<YoloModel> ai_model;
  std::shared_ptr<YoloModel> inf_model;
  QStringList inf_image_paths;
  int inf_current_idx = 0;
  QStringList resizer_queue;
  QStringList aug_image_paths;
  QSet<QString> aug_history;
  cv::Mat aug_original_cv_img;
  cv::Mat aug_display_cv_img;
  QList<QPointF> aug_crop_points;
  QList<QPointF> aug_warp_points;

  // Label lines of the current image that were not turned into shapes (unknown
  // class ids, unreadable lines, ...). They are written back unchanged after
  // the shapes' lines so that saving never destroys them.
  QByteArrayList kept_label_lines;
  std::optional<QString> output_folder;
  // The image on the annotation canvas ("" for none). Saves write its label
  // file only, so an image that failed to decode never receives another
  // image's shapes.
  QString shown_image_path;
  // Position of the image that could not be read on the last move (-1 when
  // the last move succeeded): "Next" and "Prev" step on from there, so one
  // unreadable file does not block the way.
  int failed_idx = -1;

  // --- shell widgets ---
  QTabWidget* tabs = nullptr;
  QWidget* tab_resizer = nullptr;
  QWidget* tab_splitter = nullptr;
  QWidget* tab_aug = nullptr;
  QWidget* tab_workspace = nullptr;
  QWidget* tab_config = nullptr;
  QWidget* tab_progress = nullptr;
  QWidget* tab_inference = nullptr;
  ThemeToggle* theme_toggle = nullptr;
  QPushButton* btn_help = nullptr;
  QShortcut* shortcut_del = nullptr;
  QShortcut* shortcut_back = nullptr;

  // --- annotator widgets ---
  QPushButton* btn_load_dir = nullptr;
  QPushButton* btn_set_output = nullptr;
  QLabel* lbl_output_folder = nullptr;
  QListWidget* list_images = nullptr;
  QPushButton* btn_prev_img = nullptr;
  QPushButton* btn_next_img = nullptr;
  QLabel* lbl_img_status = nullptr;
  QPushButton* btn_health_check = nullptr;
  QPushButton* btn_analytics = nullptr;
  QPushButton* btn_split_export = nullptr;
  InteractiveCanvas* canvas = nullptr;
  ZoomableView* canvas_view = nullptr;
  QPushButton* btn_fit_screen = nullptr;
  QComboBox* combo_mode = nullptr;
  QPushButton* btn_copy_prev = nullptr;
  QPushButton* btn_load_ai = nullptr;
  QDoubleSpinBox* spin_ai_conf = nullptr;
  QPushButton* btn_run_ai = nullptr;
  QTableWidget* table_objects = nullptr;
  QPushButton* btn_delete_shape = nullptr;
  QPushButton* btn_save_annotations = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::unique_ptr<Dialogs> dialogs_;
};

}  // namespace orvane
