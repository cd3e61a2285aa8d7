// AnnotatorTab: the "Image Annotator" tab. Loads an image folder, shows one
// image at a time with its shapes, names drawn shapes, keeps every image's
// label file and the folder's classes.txt written through, and hosts the
// dataset tools' three buttons.
#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>

#include "annotator/annotation_set.h"
#include "annotator/image_read_ahead.h"
#include "annotator/shape_history.h"
#include "dataset_tools/dataset_actions.h"
#include "labels/class_edit.h"
#include "labels/label_document.h"
#include "ui/tab_work.h"

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace orvane {

class Dialogs;
class Engine;
class InteractiveCanvas;
class Model;
class ZoomableView;

class AnnotatorTab : public QWidget {
  Q_OBJECT

 public:
  AnnotatorTab(Dialogs& dialogs, Engine& engine, QWidget* parent = nullptr);
  ~AnnotatorTab() override;

  // Builds the tab's widgets (called once, by the constructor).
  void setup_workspace_tab();

  // --- label files and class list ---
  void load_existing_annotations(const QString& image_path);
  void save_current_annotations();
  void save_classes_file();

  // --- workspace ---
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

  // --- shapes and the object table ---
  void change_active_mode(const QString& mode);
  void handle_canvas_point(const QPointF& pt);
  void handle_new_poly(const QPolygonF& poly);
  void update_annotation_colors();
  void sync_table_selection();
  void sync_canvas_selection();
  void ann_delete_selected();
  void copy_previous_frame_shapes();

  // --- AI assistance ---
  // Both run the engine off the GUI thread, so the window stays usable: loading shows
  // "Loading model..." on the status line (a second load waits for it), and a labelling
  // result is applied only to the image and model it was asked for.
  void load_ai_model();
  void run_ai_autolabel();
  // The tab's background work: the AI calls and the loaded model (stopping it ends the model's
  // engine process, even with an engine that never answers), the health check and the export.
  TabWork& work() { return work_; }

 Q_SIGNALS:
  // A labelling prediction's result (or its failure) has been applied, or dropped because the
  // shown image or the model changed first or the AI work was stopped.
  void prediction_finished();

 private:
  struct AiPrediction;  // annotator_ai.cpp
  void apply_ai_prediction(const AiPrediction& done);
  // A labelling no longer runs: the cursor goes back. False when none ran.
  bool end_ai_prediction();
  bool ai_predicting_ = false;

 public:
  // --- dataset tools ---
  // The health check and the export run in the background, one at a time;
  // each does nothing while a job runs. The clicked button reads "Cancel"
  // meanwhile and progress_dataset_job counts; labelling goes on.
  void run_health_check();
  void show_dataset_analytics();
  void export_and_split_dataset();
  void import_dataset();                         // "Import COCO / VOC..."
  QProgressBar* progress_dataset_job = nullptr;  // shown while a job runs

  // --- classes of the whole folder (annotator_classes.cpp) ---
  // Asks which change (rename, merge, delete, reorder), plans it in the
  // background, shows what it changes, then writes it in the background.
  void manage_classes();
  // Puts back every file the last change wrote, as one step.
  void undo_class_change();

 private:
  // The two buttons: Manage Classes is the Cancel of its own jobs only.
  void connect_class_actions();
  TabWork::JobFace class_job_face(int total);
  bool class_job_running_ = false;
  void apply_class_change(const ClassEditPlan& plan, bool undo);
  void class_change_written(const ClassEditPlan& plan, bool undo);
  // classes.txt read again, and the shown image's shapes and the list's marks.
  void reload_classes_and_shapes();
  // The last change made, for its undo.
  std::optional<ClassEditPlan> applied_class_change_;

  // The bar and the jobs behind the health and export buttons (set-up).
  void build_dataset_jobs();
  std::unique_ptr<DatasetTools> dataset_tools_;

 public:
  // --- state ---
  QString image_folder;
  QStringList image_paths;
  int current_idx = 0;
  cv::Mat display_cv_img;  // empty: no image shown
  QStringList classes;
  AnnotationSet annotations;
  QString last_label;
  std::shared_ptr<Model> ai_model;  // kept warm in its engine process
  std::optional<QString> output_folder;

  // --- widgets ---
  QPushButton* btn_load_dir = nullptr;
  QPushButton* btn_set_output = nullptr;
  QLabel* lbl_output_folder = nullptr;
  QListWidget* list_images = nullptr;
  QPushButton* btn_prev_img = nullptr;
  QPushButton* btn_next_img = nullptr;
  QLabel* lbl_img_status = nullptr;
  QPushButton* btn_health_check = nullptr;
  QPushButton* btn_import_dataset = nullptr;
  QPushButton* btn_analytics = nullptr;
  QPushButton* btn_split_export = nullptr;
  QPushButton* btn_export_coco_voc = nullptr;  // the loaded folder as a whole, no split
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
  QPushButton* btn_manage_classes = nullptr;
  QPushButton* btn_undo_class_change = nullptr;  // enabled after a class change

  // Decodes the shown image's neighbours ahead of time (our addition).
  ImageReadAhead& image_read_ahead() { return read_ahead_; }

 private:
  // Colours of the status line.
  static constexpr const char* kPendingStyle = "color: #D3112E;";
  static constexpr const char* kAnnotatedStyle = "color: #10B981;";

  // Set-up, one builder per panel.
  QGroupBox* build_queue_panel();
  QWidget* build_canvas_panel();
  QGroupBox* build_tools_panel();
  QGroupBox* build_ai_group();
  void connect_signals();
  // Keys of the tab (annotator_keys.cpp).
  void setup_keys();
  // Drops the shape being drawn (Esc).
  void abandon_shape();
  // A drag on the canvas ended: shapes or points that moved are saved.
  void shapes_dragged();
  // The status line for the shown image, from its label file on disk, with
  // what of it is not shown and what another program changed.
  void show_label_status();
  // Adds `names` to `classes` and to classes.txt, which is only ever extended:
  // `classes` becomes the file's list (another program may have added names
  // since it was read). Returns why nothing was added, or an empty text.
  QString add_classes(const QStringList& names);
  // Label lines name classes by their position in `classes`: a folder about
  // to receive shapes without a classes.txt (all their classes came from an
  // earlier folder) is given the whole list first, or the lines would mean
  // nothing when the folder is opened again. A folder that had a classes.txt
  // is left to add_classes' rules. Returns why it could not be written, or "".
  QString give_folder_its_class_list();
  // No image to show: an empty canvas, and the status line tells why.
  void clear_shown_image(const QString& status);
  // Why the shapes of the shown image may not change (its label file or the
  // folder's classes.txt could not be read), or an empty text. Shows it as a
  // warning when `tell` is set.
  QString read_only_reason(bool tell);
  LoadedDataset loaded_dataset() const;
  // Undo and redo of shape changes on the shown image (annotator_history.cpp).
  void build_shape_history();
  void show_history_step(const ShapeSnapshot& shapes);

  Dialogs& dialogs_;
  Engine& engine_;
  // The shown image's label file and the folder's class list: what was read,
  // and whether and what to write.
  LabelDocument label_document_;
  // Position of the image that could not be read on the last move (-1 when
  // the last move succeeded): "Next" and "Prev" step on from there, so one
  // unreadable file does not block the way.
  int failed_idx_ = -1;
  // Entries of the loaded folder left out for names that are not UTF-8.
  int unreadable_names_ = 0;
  // Holds the shown image and its neighbours; its worker never touches widgets.
  ImageReadAhead read_ahead_;
  // The shown image's shape changes since it was shown; every save of a
  // change is one step.
  std::unique_ptr<ShapeHistory> shape_history_;
  // Destroyed first, while the model member and the widgets it uses still stand.
  TabWork work_{this, dialogs_};
};

}  // namespace orvane
