#include "training/config_tab.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cmath>

#include "ui/info_label.h"

namespace orvane {
namespace {

QSpinBox* make_spin(int low, int high, int step, int value) {
  auto* spin = new QSpinBox;
  spin->setRange(low, high);
  spin->setSingleStep(step);
  spin->setValue(value);
  return spin;
}

QDoubleSpinBox* make_real_spin(double step, double value) {
  auto* spin = new QDoubleSpinBox;  // keeps the standard range, 0 to 99.99
  spin->setDecimals(5);
  spin->setSingleStep(step);
  spin->setValue(value);
  return spin;
}

const QString kAutomlText = QStringLiteral("🧬 AutoML Hyperparameter Genetic Search");

// The result file's value as a real number, as Python's float() reads it; nullopt otherwise.
std::optional<double> to_real(const QVariant& value) {
  bool ok = false;
  const double real = value.toString().trimmed().toDouble(&ok);
  if (!ok || std::isnan(real)) return std::nullopt;
  return real;
}

}  // namespace

ConfigTab::ConfigTab(Dialogs& dialogs, Engine& engine, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), engine_(engine) {
  setup_config_tab();
  connect(&work_, &TabWork::stopped, this, [this] {
    if (training_pending_) show_training_pending(false);
  });
}

void ConfigTab::setup_config_tab() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(build_dataset_group());
  layout->addWidget(build_hyperparameter_group());
  layout->addStretch();
  layout->addWidget(build_button_row());
}

QGroupBox* ConfigTab::build_dataset_group() {
  auto* group = new QGroupBox(QStringLiteral("Model Backbone && Dataset Mapping"));
  auto* grid = new QGridLayout(group);
  model_combo = new QComboBox;
  model_combo->setEditable(true);
  model_combo->addItems({"yolov8s.pt", "yolov8n.pt", "yolov8m.pt", "yolov8l.pt", "yolov8x.pt",
                         "yolov8s-seg.pt", "yolov8n-seg.pt", "yolov8m-seg.pt", "yolov8l-seg.pt",
                         "yolov8x-seg.pt"});
  data_yaml_input = new QLineEdit(QStringLiteral("data.yaml"));
  auto* browse = new QPushButton(QStringLiteral("Browse..."));
  project_dir_input = new QLineEdit(QStringLiteral("runs/detect"));
  run_name_input = new QLineEdit(QStringLiteral("kelvane_yolo_run"));

  grid->addWidget(create_info_label("YOLO Model Architecture:", "Pretrained weights file"), 0, 0);
  grid->addWidget(model_combo, 0, 1);
  grid->addWidget(create_info_label("Data Manifest (.yaml):", "Dataset configuration path"), 1, 0);
  grid->addWidget(data_yaml_input, 1, 1);
  grid->addWidget(browse, 1, 2);
  grid->addWidget(create_info_label("Save Project Directory:", "Output folder"), 2, 0);
  grid->addWidget(project_dir_input, 2, 1);
  grid->addWidget(create_info_label("Run Identification Name:", "Experiment folder name"), 3, 0);
  grid->addWidget(run_name_input, 3, 1);
  project_location_ = new QLabel;
  project_location_->setObjectName(QStringLiteral("projectLocation"));
  project_location_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(project_location_, 4, 1);
  show_project_location();

  connect(browse, &QPushButton::clicked, this, &ConfigTab::browse_data_yaml);
  connect(project_dir_input, &QLineEdit::textChanged, this, &ConfigTab::show_project_location);
  return group;
}

QGroupBox* ConfigTab::build_hyperparameter_group() {
  auto* group = new QGroupBox(QStringLiteral("Training Hyperparameters"));
  auto* grid = new QGridLayout(group);
  epochs_input = make_spin(1, 2000, 1, 100);
  imgsz_input = make_spin(32, 4096, 32, 640);
  batch_input = make_spin(-1, 256, 1, 16);
  workers_input = make_spin(0, 32, 1, 4);
  optimizer_combo = new QComboBox;
  optimizer_combo->addItems({"auto", "AdamW", "SGD", "Adam"});
  lr0_input = make_real_spin(0.0001, 0.01);
  lrf_input = make_real_spin(1, 0.01);
  close_mosaic_input = make_spin(0, 100, 1, 10);

  const struct {
    const char* label;
    const char* tip;
    QWidget* input;
  } rows[] = {{"Epochs:", "Passes", epochs_input},
              {"Image Size:", "Pixel size", imgsz_input},
              {"Batch Size:", "Batch size (-1 for auto)", batch_input},
              {"DataLoader Workers:", "Worker threads", workers_input},
              {"Optimizer:", "Optimization strategy", optimizer_combo},
              {"Initial LR:", "Starting learning rate", lr0_input},
              {"Final LR Ratio:", "Final learning rate factor", lrf_input},
              {"Close Mosaic Epochs:", "Disable mosaic at end", close_mosaic_input}};
  for (int i = 0; i < 8; ++i) {
    grid->addWidget(create_info_label(rows[i].label, rows[i].tip), i / 2, (i % 2) * 2);
    grid->addWidget(rows[i].input, i / 2, (i % 2) * 2 + 1);
  }
  return group;
}

QWidget* ConfigTab::build_button_row() {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* automl = new QPushButton(kAutomlText);
  automl->setObjectName(QStringLiteral("automlBtn"));
  automl_button_ = automl;
  auto* start = new QPushButton(QStringLiteral("🚀 START MODEL TRAINING"));
  start->setObjectName(QStringLiteral("primaryBtn"));
  start_button_ = start;
  engine_wait_ = new QLabel(QStringLiteral("Waiting for the YOLO engine..."));
  engine_wait_->setObjectName(QStringLiteral("engineWait"));
  engine_wait_->hide();
  layout->addWidget(engine_wait_);
  layout->addWidget(automl);
  layout->addWidget(start);
  connect(automl, &QPushButton::clicked, this, &ConfigTab::automl_clicked);
  connect(start, &QPushButton::clicked, this, &ConfigTab::start_training);
  return row;
}

void ConfigTab::show_project_location() {
  const QString project = project_dir_input->text().trimmed();
  const bool relative = QDir::isRelativePath(project);
  project_location_->setText(relative ? QStringLiteral("Runs are saved in ") +
                                            QDir::toNativeSeparators(QDir::cleanPath(
                                                QDir::current().absoluteFilePath(project)))
                                      : QString());
  project_location_->setHidden(!relative);
}

void ConfigTab::browse_data_yaml() {
  const QString path = dialogs_.get_open_file_name(
      this, QStringLiteral("Select Data YAML"), QString(), QStringLiteral("YAML (*.yaml *.yml)"));
  if (!path.isEmpty()) data_yaml_input->setText(path);
}

QVariantMap ConfigTab::training_params() {
  return {{"model_path", model_combo->currentText().trimmed()},
          {"data_yaml", data_yaml_input->text().trimmed()},
          {"project", project_dir_input->text().trimmed()},
          {"name", run_name_input->text().trimmed()},
          {"epochs", epochs_input->value()},
          {"imgsz", imgsz_input->value()},
          {"batch", batch_input->value()},
          {"workers", workers_input->value()},
          {"optimizer", optimizer_combo->currentText()},
          {"lr0", lr0_input->value()},
          {"lrf", lrf_input->value()},
          {"close_mosaic", close_mosaic_input->value()},
          {"device", engine_device(engine_.probe_result().value_or(EngineProbe{}))}};
}

QVariantMap ConfigTab::tuning_params() const {
  return {{"model_path", model_combo->currentText().trimmed()},
          {"data_yaml", data_yaml_input->text().trimmed()},
          {"project", project_dir_input->text().trimmed()},
          {"name", run_name_input->text().trimmed() + QStringLiteral("_tune")},
          {"epochs", epochs_input->value()},
          {"imgsz", imgsz_input->value()},
          {"batch", batch_input->value()},
          {"workers", workers_input->value()},
          {"optimizer", optimizer_combo->currentText()}};
}

void ConfigTab::start_training() {
  if (training_pending_) return;
  const QString data = data_yaml_input->text().trimmed();
  if (!QFileInfo::exists(data)) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("YAML file path does not exist:\n") + data);
    return;
  }
  if (engine_.probe_result()) {
    Q_EMIT training_requested(training_params());
    return;
  }
  // The device is known once the engine's look-up answers, which may take long or never come:
  // the window stays usable meanwhile, and the request goes out with the fields as they were.
  show_training_pending(true);
  Engine& engine = engine_;
  work_.call([&engine](std::stop_token stop) { return engine.wait_for_probe(stop); },
             [this, params = training_params()](bool answered) mutable {
               show_training_pending(false);
               if (!answered) return;
               params[QStringLiteral("device")] = engine_device(*engine_.probe_result());
               Q_EMIT training_requested(params);
             });
}

void ConfigTab::show_training_pending(bool pending) {
  training_pending_ = pending;
  start_button_->setEnabled(!pending);
  engine_wait_->setVisible(pending);
}

bool ConfigTab::automl_running() const { return tuner_thread && tuner_thread->isRunning(); }

QString ConfigTab::automl_question() const {
  const int trials = YoloTunerThread::kIterations;
  const int epochs = epochs_input->value();
  QString text =
      QStringLiteral(
          "The search trains the model %1 times (%1 trials × %2 epochs = %3 epochs in all) at "
          "image size %4, batch %5, %6. The time it needs is shown on the progress tab "
          "once the first epoch is timed.")
          .arg(trials)
          .arg(epochs)
          .arg(trials * epochs)
          .arg(imgsz_input->value())
          .arg(batch_input->value() < 0 ? QStringLiteral("auto")
                                        : QString::number(batch_input->value()))
          .arg(workers_input->value() == 1
                   ? QStringLiteral("1 worker")
                   : QStringLiteral("%1 workers").arg(workers_input->value()));
  if (optimizer_combo->currentText() == QStringLiteral("auto"))
    text += QStringLiteral(
        "\n\nWith the optimizer \"auto\" the engine picks the learning rate and momentum itself "
        "and ignores the values the search tries for lr0 and momentum: every trial trains with "
        "the same ones. Choose SGD, AdamW or Adam to search them.");
  return text + QStringLiteral("\n\nStart the search?");
}

void ConfigTab::automl_clicked() {
  if (automl_running()) {
    tuner_thread->stop();
    automl_button_->setEnabled(false);  // until the search has ended
    return;
  }
  if (!QFileInfo::exists(data_yaml_input->text().trimmed())) {
    start_automl_tuning();  // says that the manifest is missing
    return;
  }
  if (dialogs_.question(this, QStringLiteral("AutoML Search"), automl_question()))
    start_automl_tuning();
}

void ConfigTab::start_automl_tuning() {
  if (automl_running()) return;  // one search at a time
  const QString data = data_yaml_input->text().trimmed();
  if (!QFileInfo::exists(data)) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Data YAML file path does not exist."));
    return;
  }
  auto* worker = new YoloTunerThread(engine_, tuning_params(), this);
  work_.adopt(tuner_thread, worker);
  connect(worker, &YoloTunerThread::log_signal, this, &ConfigTab::automl_log);
  connect(worker, &YoloTunerThread::finished_signal, this, &ConfigTab::apply_automl_results);
  connect(worker, &YoloTunerThread::error_signal, this, &ConfigTab::show_automl_error);
  connect(worker, &QThread::finished, this, [this, worker] {
    if (worker != tuner_thread) return;
    automl_button_->setText(kAutomlText);
    automl_button_->setEnabled(true);
  });
  automl_button_->setText(QStringLiteral("Cancel"));
  Q_EMIT automl_started();  // tuner_thread is the new search
  worker->start();
}

void ConfigTab::apply_automl_results(const QVariantMap& results) {
  // Both values are checked before either is set, so a bad file changes nothing.
  std::optional<double> lr0, lrf;
  for (const auto& [key, value] :
       {std::pair{QStringLiteral("lr0"), &lr0}, std::pair{QStringLiteral("lrf"), &lrf}}) {
    if (!results.contains(key)) continue;
    *value = to_real(results.value(key));
    if (!*value) {
      show_automl_error(QStringLiteral("Invalid value for %1 in the hyperparameter file: %2")
                            .arg(key, results.value(key).toString()));
      return;
    }
  }
  if (lr0) lr0_input->setValue(*lr0);
  if (lrf) lrf_input->setValue(*lrf);
  dialogs_.information(this, QStringLiteral("AutoML Complete"),
                       QStringLiteral("Optimal hyperparameters applied to controls."));
  Q_EMIT automl_applied();
}

void ConfigTab::show_automl_error(const QString& text) {
  dialogs_.critical(this, QStringLiteral("AutoML Error"), text);
}

}  // namespace orvane
