// The "Inference & Model Export" tab: runs trained weights over a folder of images, steps
// through the drawn predictions, and exports the weights to deployment formats.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

#include "canvas/zoomable_view.h"
#include "common/worker_threads.h"
#include "engine/engine.h"
#include "inference/export_thread.h"
#include "ui/dialogs.h"

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orvane {

class InferenceTab : public QWidget {
  Q_OBJECT

 public:
  InferenceTab(Dialogs& dialogs, Engine& engine, QWidget* parent = nullptr);
  ~InferenceTab() override;

  // Builds the tab's widgets (called once, by the constructor).
  void setup_inference_tab();

  void browse_inf_weights();
  void browse_inf_folder();
  void browse_export_dir();
  void init_inference();
  void update_inference_display();
  void inf_next_image();
  void inf_prev_image();
  void run_model_export();
  // Ends a running export (its engine process too) and waits for it.
  void stop_workers();

  std::unique_ptr<Model> inf_model;
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
  QLineEdit* entry_export_dir = nullptr;
  QComboBox* combo_export_format = nullptr;
  ExportThread* export_thread = nullptr;

 private:
  QGroupBox* build_parameters_group();
  QGroupBox* build_export_group();
  QWidget* build_stepping_row();
  void show_prediction_failure(const QString& path, const QString& reason);

  Dialogs& dialogs_;
  Engine& engine_;
  WorkerThreads<ExportThread> workers_;
};

}  // namespace orvane
