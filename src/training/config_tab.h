// The "YOLO Configuration & AutoML" tab: model, dataset manifest, output location and
// hyperparameters; starts training (shown on the progress tab) or the AutoML search.
#pragma once

#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <vector>

#include "engine/engine.h"
#include "training/tuner_thread.h"
#include "ui/dialogs.h"
#include "ui/tab_work.h"

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orvane {

class ConfigTab : public QWidget {
  Q_OBJECT

 public:
  ConfigTab(Dialogs& dialogs, Engine& engine, QWidget* parent = nullptr);

  // Builds the tab's widgets (called once, by the constructor).
  void setup_config_tab();

  void browse_data_yaml();
  // Asks for the run. The device comes from the engine's look-up: when that has not answered
  // yet, the request goes out once it has (off the GUI thread meanwhile; the button waits and
  // says so).
  void start_training();
  // Starts the search at once (nothing while one runs). The AutoML button asks first, through
  // automl_clicked().
  void start_automl_tuning();
  // The AutoML button: while a search runs it reads "Cancel" and ends the search; otherwise it
  // says what the search will cost (and when the optimizer "auto" makes it search nothing of
  // the learning rate) and starts it if the user agrees.
  void automl_clicked();
  // What the AutoML button asks before a search starts.
  QString automl_question() const;
  bool automl_running() const;
  void apply_automl_results(const QVariantMap& results);
  // The 13-entry training map and the 9-entry tuning map, read from the fields. The device is
  // "cpu" while the engine's look-up has not answered.
  QVariantMap training_params();
  QVariantMap tuning_params() const;
  // The AutoML search and a training request waiting for the engine. Stopping it ends the
  // search's engine process and waits for it; a waiting request is dropped.
  TabWork& work() { return work_; }
  // A training request waits for the engine's look-up.
  bool training_pending() const { return training_pending_; }

  QComboBox* model_combo = nullptr;
  QLineEdit* data_yaml_input = nullptr;
  QLineEdit* project_dir_input = nullptr;
  QLineEdit* run_name_input = nullptr;
  QSpinBox* epochs_input = nullptr;
  QSpinBox* imgsz_input = nullptr;
  QSpinBox* batch_input = nullptr;
  QSpinBox* workers_input = nullptr;
  QComboBox* optimizer_combo = nullptr;
  QDoubleSpinBox* lr0_input = nullptr;
  QDoubleSpinBox* lrf_input = nullptr;
  QSpinBox* close_mosaic_input = nullptr;
  YoloTunerThread* tuner_thread = nullptr;

 Q_SIGNALS:
  // The user asked for a training run with these checked parameters (the 13-entry map).
  void training_requested(const QVariantMap& params);
  // An AutoML search started; its output follows as automl_log.
  void automl_started();
  void automl_log(const QString& text);
  // The search's best values are now in the fields.
  void automl_applied();

 private:
  QGroupBox* build_dataset_group();
  QGroupBox* build_hyperparameter_group();
  QWidget* build_button_row();
  void show_automl_error(const QString& text);
  void show_project_location();
  void show_training_pending(bool pending);

  Dialogs& dialogs_;
  Engine& engine_;
  // Where a relative project folder lands (the engine jobs resolve it against the working
  // folder); hidden for an absolute one.
  QLabel* project_location_ = nullptr;
  QPushButton* start_button_ = nullptr;
  QPushButton* automl_button_ = nullptr;  // reads "Cancel" while a search runs
  QLabel* engine_wait_ = nullptr;         // shown while a training request waits for the engine
  bool training_pending_ = false;
  TabWork work_{this, dialogs_};
};

}  // namespace orvane
