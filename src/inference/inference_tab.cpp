#include "inference/inference_tab.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "imaging/image_io.h"
#include "inference/inference_files.h"
#include "ui/info_label.h"

namespace orvane {
namespace {

constexpr int kDefaultImgsz = 640;

}  // namespace

InferenceTab::InferenceTab(Dialogs& dialogs, Engine& engine, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), engine_(engine) {
  setup_inference_tab();
  work_.bind_model(&inf_model);
  connect(&work_, &TabWork::stopped, this, [this] {
    end_export();
    next_.reset();
    if (std::exchange(predicting_, false)) Q_EMIT prediction_finished();
  });
}

void InferenceTab::setup_inference_tab() {
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(build_parameters_group(), 2);
  top->addWidget(build_export_group(), 1);
  layout->addLayout(top);
  inf_view = new ZoomableView;
  layout->addWidget(inf_view, 1);
  layout->addWidget(build_stepping_row());

  connect(spin_inf_conf, &QDoubleSpinBox::valueChanged, this,
          &InferenceTab::update_inference_display);
  connect(spin_inf_imgsz, &QSpinBox::valueChanged, this, &InferenceTab::update_inference_display);
  connect(btn_inf_prev, &QPushButton::clicked, this, &InferenceTab::inf_prev_image);
  connect(btn_inf_next, &QPushButton::clicked, this, &InferenceTab::inf_next_image);
}

QGroupBox* InferenceTab::build_parameters_group() {
  auto* group = new QGroupBox(QStringLiteral("Inference Engine Parameters"));
  auto* grid = new QGridLayout(group);
  default_weights_ = QStringLiteral("runs/detect/kelvane_yolo_run/weights/best.pt");
  entry_inf_weights = new QLineEdit(default_weights_);
  entry_inf_folder = new QLineEdit;
  entry_inf_folder->setPlaceholderText(
      QStringLiteral("Select directory containing images to predict..."));
  auto* browse_weights = new QPushButton(QStringLiteral("Browse..."));
  auto* browse_folder = new QPushButton(QStringLiteral("Browse..."));
  spin_inf_conf = new QDoubleSpinBox;
  spin_inf_conf->setRange(0.01, 1.0);
  spin_inf_conf->setSingleStep(0.05);
  spin_inf_conf->setValue(0.25);
  spin_inf_imgsz = new QSpinBox;
  spin_inf_imgsz->setRange(32, 4096);
  spin_inf_imgsz->setSingleStep(32);
  spin_inf_imgsz->setValue(kDefaultImgsz);
  auto* run = new QPushButton(QStringLiteral("⚡ LOAD MODEL && INFER QUEUE"));
  run->setObjectName(QStringLiteral("primaryBtn"));
  run_button_ = run;

  grid->addWidget(create_info_label("Model Weights (.pt):", "Path to best.pt"), 0, 0);
  grid->addWidget(entry_inf_weights, 0, 1);
  grid->addWidget(browse_weights, 0, 2);
  grid->addWidget(create_info_label("Inference Directory:", "Test image directory"), 1, 0);
  grid->addWidget(entry_inf_folder, 1, 1);
  grid->addWidget(browse_folder, 1, 2);
  grid->addWidget(create_info_label("Conf Threshold:", "Minimum prediction score"), 2, 0);
  grid->addWidget(spin_inf_conf, 2, 1);
  grid->addWidget(create_info_label("Inference Res:", "Image resolution"), 3, 0);
  grid->addWidget(spin_inf_imgsz, 3, 1);
  grid->addWidget(run, 4, 0, 1, 3);
  btn_use_trained = new QPushButton(QStringLiteral("Use the model just trained"));
  btn_use_trained->hide();
  grid->addWidget(btn_use_trained, 5, 0, 1, 3);

  connect(browse_weights, &QPushButton::clicked, this, &InferenceTab::browse_inf_weights);
  connect(browse_folder, &QPushButton::clicked, this, &InferenceTab::browse_inf_folder);
  connect(run, &QPushButton::clicked, this, &InferenceTab::init_inference);
  connect(btn_use_trained, &QPushButton::clicked, this, [this] {
    entry_inf_weights->setText(trained_weights_);
    spin_inf_imgsz->setValue(trained_imgsz_);
    btn_use_trained->hide();
  });
  return group;
}

QGroupBox* InferenceTab::build_export_group() {
  auto* group = new QGroupBox(QStringLiteral("One-Click Production Export"));
  auto* form = new QFormLayout(group);
  entry_export_dir = new QLineEdit(QStringLiteral("exports"));
  auto* browse = new QPushButton(QStringLiteral("Browse..."));
  auto* dir_row = new QHBoxLayout;
  dir_row->addWidget(entry_export_dir);
  dir_row->addWidget(browse);
  combo_export_format = new QComboBox;
  combo_export_format->addItems({"onnx", "engine", "openvino", "torchscript", "coreml"});
  auto* run = new QPushButton(QStringLiteral("🚀 EXPORT MODEL BACKBONE"));
  run->setObjectName(QStringLiteral("primaryBtn"));
  btn_export = run;
  // An export takes the engine a while and says nothing until it ends.
  export_busy = new QProgressBar;
  export_busy->setRange(0, 0);
  export_busy->setFormat(QStringLiteral("Exporting..."));
  export_busy->setTextVisible(true);
  export_busy->hide();
  form->addRow(QStringLiteral("Export Target Dir:"), dir_row);
  form->addRow(QStringLiteral("Format Engine:"), combo_export_format);
  form->addRow(run);
  form->addRow(export_busy);

  connect(browse, &QPushButton::clicked, this, &InferenceTab::browse_export_dir);
  connect(run, &QPushButton::clicked, this, &InferenceTab::run_model_export);
  return group;
}

QWidget* InferenceTab::build_stepping_row() {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  btn_inf_prev = new QPushButton(QStringLiteral("◄ Previous Image"));
  lbl_inf_counter = new QLabel(QStringLiteral("0 / 0"));
  lbl_inf_counter->setAlignment(Qt::AlignCenter);
  lbl_inf_found = new QLabel;
  lbl_inf_found->setAlignment(Qt::AlignCenter);
  btn_inf_next = new QPushButton(QStringLiteral("Next Image ►"));
  layout->addWidget(btn_inf_prev);
  layout->addWidget(lbl_inf_counter, 1);
  layout->addWidget(lbl_inf_found, 1);
  layout->addWidget(btn_inf_next);
  return row;
}

void InferenceTab::browse_inf_weights() {
  const QString path = dialogs_.get_open_file_name(
      this, QStringLiteral("Select Weights"), QString(), QStringLiteral("PyTorch Weights (*.pt)"));
  if (!path.isEmpty()) entry_inf_weights->setText(path);
}

void InferenceTab::browse_inf_folder() {
  const QString path = dialogs_.get_existing_directory(this, QStringLiteral("Select Test Folder"));
  if (!path.isEmpty()) entry_inf_folder->setText(path);
}

void InferenceTab::browse_export_dir() {
  const QString path =
      dialogs_.get_existing_directory(this, QStringLiteral("Select Export Directory"));
  if (!path.isEmpty()) entry_export_dir->setText(path);
}

void InferenceTab::init_inference() {
  if (work_.waiting()) return;
  work_.with_engine(engine_, lbl_inf_counter, run_button_,
                    QStringLiteral("Ultralytics is not installed."),
                    [this] { load_chosen_model(); });
}

void InferenceTab::load_chosen_model() {
  const QString weights = entry_inf_weights->text().trimmed();
  const QString folder = entry_inf_folder->text().trimmed();
  if (!QFileInfo::exists(weights) || !QFileInfo::exists(folder)) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Ensure weights and inference folder paths are valid."));
    return;
  }
  load_model(weights, folder);
}

void InferenceTab::load_model(const QString& weights, const QString& folder) {
  work_.load_model(engine_, weights, lbl_inf_counter, run_button_, [this, folder] {
    next_.reset();
    inf_image_paths = list_inference_images(folder);
    inf_current_idx = 0;
    update_inference_display();
  });
}

void InferenceTab::update_inference_display() {
  if (!inf_model || inf_image_paths.isEmpty()) return;
  const QString path = inf_image_paths.at(inf_current_idx);
  lbl_inf_counter->setText(QStringLiteral("%1 / %2 - %3")
                               .arg(inf_current_idx + 1)
                               .arg(inf_image_paths.size())
                               .arg(QFileInfo(path).fileName()));
  // Another image shows at once; the same one keeps its prediction until the new one comes.
  if (path != shown_path_) show_source_image(path);
  PredictRequest request{work_.next_generation(), inf_model, path, spin_inf_conf->value(),
                         spin_inf_imgsz->value()};
  // One call at a time per engine process: the newest request waits, older ones are dropped.
  if (predicting_) {
    next_ = std::move(request);
    return;
  }
  start_prediction(std::move(request));
}

void InferenceTab::show_source_image(const QString& path) {
  shown_path_ = path;
  prediction_shown_ = false;
  lbl_inf_found->clear();
  // A photograph takes a tenth of a second to decode: off the GUI thread, and
  // shown only while it is still the image asked for and its prediction has
  // not come first.
  work_.look_up(
      // Worker thread.
      [path](std::stop_token) {
        const DecodedImage decoded = read_image_file(path);
        return decoded.image.empty() ? QImage() : bgr_to_qimage(decoded.image);
      },
      [this, path](const QImage& image) {
        if (path != shown_path_ || prediction_shown_) return;
        if (image.isNull()) {
          if (inf_view->scene()) inf_view->scene()->clear();
        } else {
          inf_view->set_image(QPixmap::fromImage(image));
        }
        inf_view->setToolTip(QString());
      });
}

void InferenceTab::start_prediction(PredictRequest request) {
  predicting_ = true;
  const quint64 generation = request.generation;
  const QString path = request.path;
  work_.call(
      // Worker thread.
      [request = std::move(request)](std::stop_token stop) {
        const std::stop_callback end_process(stop, [&request] { request.model->kill(); });
        PredictOutcome outcome;
        try {
          const Prediction prediction =
              request.model->predict(request.path, request.conf, request.imgsz);
          if (prediction.plot.empty()) {
            outcome.error = QStringLiteral("The engine returned no image.");
          } else {
            outcome.drawn = bgr_to_qimage(prediction.plot);
            std::vector<int> classes;
            for (const Box& box : prediction.boxes) classes.push_back(box.cls);
            outcome.found = found_text(classes, request.model->names());
          }
        } catch (const EngineError& e) {
          outcome.error = e.message();
        }
        return outcome;
      },
      [this, generation, path](const PredictOutcome& outcome) {
        prediction_done(generation, path, outcome);
      });
}

void InferenceTab::prediction_done(quint64 generation, const QString& path,
                                   const PredictOutcome& outcome) {
  predicting_ = false;
  if (generation == work_.generation()) {
    shown_path_ = path;
    prediction_shown_ = true;
    lbl_inf_found->setText(outcome.found);
    if (outcome.drawn.isNull()) {
      show_prediction_failure(path, outcome.error);
    } else {
      inf_view->set_image(QPixmap::fromImage(outcome.drawn));
      inf_view->setToolTip(QString());
    }
  }
  if (next_) {
    PredictRequest request = std::move(*next_);
    next_.reset();
    start_prediction(std::move(request));
  }
  Q_EMIT prediction_finished();
}

void InferenceTab::show_prediction_failure(const QString& path, const QString& reason) {
  // Shown in place of the drawn image, so an earlier prediction is never taken for this one.
  const QString text =
      QStringLiteral("Prediction failed for %1:\n%2").arg(QFileInfo(path).fileName(), reason);
  QImage image(900, 300, QImage::Format_RGB32);
  image.fill(QColor(40, 40, 46));
  QPainter painter(&image);
  painter.setPen(QColor(255, 120, 120));
  QFont font = painter.font();
  font.setPixelSize(18);
  painter.setFont(font);
  painter.drawText(image.rect().adjusted(20, 20, -20, -20), Qt::TextWordWrap, text);
  painter.end();
  inf_view->set_image(QPixmap::fromImage(image));
  inf_view->setToolTip(text);
}

void InferenceTab::inf_next_image() {
  if (!inf_image_paths.isEmpty()) inf_current_idx = (inf_current_idx + 1) % inf_image_paths.size();
  update_inference_display();
}

void InferenceTab::inf_prev_image() {
  if (!inf_image_paths.isEmpty()) {
    const int n = inf_image_paths.size();
    inf_current_idx = ((inf_current_idx - 1) % n + n) % n;
  }
  update_inference_display();
}

void InferenceTab::run_model_export() {
  const QString weights = entry_inf_weights->text().trimmed();
  const QString export_dir = entry_export_dir->text().trimmed();
  const QString format = combo_export_format->currentText();
  if (!QFileInfo::exists(weights)) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Select a valid weights file first."));
    return;
  }
  auto* worker = new ExportThread(engine_, weights, format, export_dir, this);
  work_.adopt(export_thread, worker);
  connect(worker, &ExportThread::finished_signal, this, [this](const QString& path) {
    end_export();
    dialogs_.information(this, QStringLiteral("Export Success"),
                         QStringLiteral("Model exported to:\n") + path);
  });
  connect(worker, &ExportThread::error_signal, this, [this](const QString& text) {
    end_export();
    dialogs_.critical(this, QStringLiteral("Export Error"), text);
  });
  // One export at a time.
  btn_export->setEnabled(false);
  export_busy->show();
  worker->start();
}

void InferenceTab::end_export() {
  btn_export->setEnabled(true);
  export_busy->hide();
}

void InferenceTab::set_default_weights(const QString& weights) {
  if (entry_inf_weights->text() == default_weights_) entry_inf_weights->setText(weights);
  default_weights_ = weights;
}

void InferenceTab::offer_trained_model(const QString& weights, int imgsz) {
  trained_weights_ = weights;
  trained_imgsz_ = imgsz;
  const bool defaults = entry_inf_weights->text().trimmed() == default_weights_ &&
                        spin_inf_imgsz->value() == kDefaultImgsz;
  if (defaults) {
    entry_inf_weights->setText(weights);
    spin_inf_imgsz->setValue(imgsz);
    btn_use_trained->hide();
    return;
  }
  btn_use_trained->setToolTip(QStringLiteral("%1 at %2 px").arg(weights).arg(imgsz));
  btn_use_trained->show();
}

}  // namespace orvane
