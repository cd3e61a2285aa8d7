// The "Inference & Model Export" tab: runs trained weights over a folder of images, steps
// through the drawn predictions, and exports the weights to deployment formats.
#pragma once

#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "canvas/zoomable_view.h"
#include "engine/engine.h"
#include "inference/export_thread.h"
#include "ui/dialogs.h"
#include "ui/tab_work.h"

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace orvane {

class InferenceTab : public QWidget {
  Q_OBJECT

 public:
  InferenceTab(Dialogs& dialogs, Engine& engine, QWidget* parent = nullptr);

  // Builds the tab's widgets (called once, by the constructor).
  void setup_inference_tab();

  void browse_inf_weights();
  void browse_inf_folder();
  void browse_export_dir();
  // Loads the weights off the GUI thread ("Loading model..." on the counter meanwhile; a second
  // call is ignored until it ends), then lists the folder and shows the first image.
  void init_inference();
  // Shows the current image at once and asks the engine for its prediction off the GUI thread;
  // the drawn prediction replaces the image when it comes. A result for an image or model no
  // longer shown is dropped; while one prediction runs, only the newest request waits for it.
  void update_inference_display();
  void inf_next_image();
  void inf_prev_image();
  void run_model_export();
  // A training run has written `weights` at image size `imgsz`: fills the fields when they
  // still hold the defaults, else offers "Use the model just trained".
  void offer_trained_model(const QString& weights, int imgsz);
  // The weights the field starts with (the training tab's default run).
  void set_default_weights(const QString& weights);
  // The export, the model load and the predictions. Stopping it ends their engine processes
  // and the loaded model's, not waiting longer than it takes to end a process, even when the
  // engine never answers.
  TabWork& work() { return work_; }

  // Shared with the prediction in flight, which keeps a replaced model until it returns.
  std::shared_ptr<Model> inf_model;
  QStringList inf_image_paths;
  int inf_current_idx = 0;

  QLineEdit* entry_inf_weights = nullptr;
  QLineEdit* entry_inf_folder = nullptr;
  QDoubleSpinBox* spin_inf_conf = nullptr;
  QSpinBox* spin_inf_imgsz = nullptr;
  ZoomableView* inf_view = nullptr;
  QPushButton* btn_inf_prev = nullptr;
  QLabel* lbl_inf_counter = nullptr;
  QPushButton* btn_inf_next = nullptr;
  QLabel* lbl_inf_found = nullptr;         // what the shown prediction found, by class
  QPushButton* btn_use_trained = nullptr;  // "Use the model just trained", once offered
  QProgressBar* export_busy = nullptr;     // "Exporting..." while an export runs
  QPushButton* btn_export = nullptr;
  QLineEdit* entry_export_dir = nullptr;
  QComboBox* combo_export_format = nullptr;
  ExportThread* export_thread = nullptr;

 Q_SIGNALS:
  // A prediction's result (or its failure) has been shown, or dropped because another image or
  // model came first or the workers were stopped.
  void prediction_finished();

 private:
  struct PredictRequest {
    quint64 generation = 0;
    std::shared_ptr<Model> model;
    QString path;
    double conf = 0;
    int imgsz = 0;
  };
  struct PredictOutcome {
    QImage drawn;  // null on failure
    QString error;
    QString found;  // found_text() of the prediction
  };
  QGroupBox* build_parameters_group();
  QGroupBox* build_export_group();
  QWidget* build_stepping_row();
  void show_prediction_failure(const QString& path, const QString& reason);
  // Once the engine is known: checks the fields and loads the weights.
  void load_chosen_model();
  void load_model(const QString& weights, const QString& folder);
  void start_prediction(PredictRequest request);
  void prediction_done(quint64 generation, const QString& path, const PredictOutcome& outcome);
  void show_source_image(const QString& path);
  void end_export();

  Dialogs& dialogs_;
  Engine& engine_;
  QPushButton* run_button_ = nullptr;
  bool predicting_ = false;
  std::optional<PredictRequest> next_;  // waits for the running prediction
  QString shown_path_;                  // the image the view shows (or its prediction)
  QString default_weights_;
  QString trained_weights_;
  int trained_imgsz_ = 0;
  bool prediction_shown_ = false;  // the view shows shown_path_'s prediction
  // Destroyed first, while the model member and the widgets it uses still stand.
  TabWork work_{this, dialogs_};
};

}  // namespace orvane
