// AI assistance: loading trained weights into the engine and labelling the
// shown image with the model's detections. The engine is only ever waited on
// by worker threads; their results come back as queued calls.
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <map>
#include <optional>
#include <utility>

#include "annotator/ai_labels.h"
#include "annotator/annotator_tab.h"
#include "engine/engine.h"
#include "labels/label_document.h"
#include "ui/dialogs.h"

namespace orvane {

struct AnnotatorTab::AiPrediction {
  quint64 generation = 0;
  QString image_path;
  std::optional<Prediction> prediction;  // empty on failure
  std::map<int, QString> names;
  QString error;
};

void AnnotatorTab::load_ai_model() {
  if (work_.waiting()) return;  // a load, or the wait for the engine before it
  work_.with_engine(
      engine_, lbl_img_status, btn_load_ai, QStringLiteral("Ultralytics is not installed."),
      [this] {
        const QString path = dialogs_.get_open_file_name(this, QStringLiteral("Load YOLO AI Model"),
                                                         QDir::currentPath(),
                                                         QStringLiteral("PyTorch Weights (*.pt)"));
        if (path.isEmpty()) return;
        work_.load_model(engine_, path, lbl_img_status, btn_load_ai, [this, path] {
          btn_run_ai->setEnabled(true);
          dialogs_.information(this, QStringLiteral("AI Model Loaded"),
                               QStringLiteral("Loaded model: ") + QFileInfo(path).fileName());
        });
      });
}

void AnnotatorTab::run_ai_autolabel() {
  if (!ai_model || image_paths.isEmpty()) return;
  // The shapes belong to the image on the canvas and its label file.
  if (display_cv_img.empty() || !label_document_.has_image()) return;
  if (!read_only_reason(true).isEmpty()) return;
  if (ai_predicting_) return;  // one labelling at a time
  ai_predicting_ = true;
  // The window stays usable while the engine works; the cursor says that it does.
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  AiPrediction request;
  request.generation = work_.generation();
  request.image_path = label_document_.image_path();
  work_.call(
      // Worker thread.
      [request, model = ai_model, conf = spin_ai_conf->value()](std::stop_token stop) {
        const std::stop_callback end_process(stop, [&model] { model->kill(); });
        AiPrediction done = request;
        try {
          done.prediction = model->predict(request.image_path, conf);
          done.names = model->names();
        } catch (const EngineError& e) {
          done.error = e.message();
        }
        return done;
      },
      [this](const AiPrediction& done) { apply_ai_prediction(done); });
}

void AnnotatorTab::apply_ai_prediction(const AiPrediction& done) {
  const auto finished = qScopeGuard([this] { Q_EMIT prediction_finished(); });
  end_ai_prediction();
  // Only the image and model it was asked for take the result: after a step to another image,
  // or a new model, it is dropped.
  if (done.generation != work_.generation() || display_cv_img.empty() ||
      !label_document_.has_image() || label_document_.image_path() != done.image_path)
    return;
  if (!read_only_reason(true).isEmpty()) return;
  AiLabels found;
  try {
    if (!done.prediction) throw EngineError(done.error);
    if (done.prediction->boxes.empty()) {
      dialogs_.information(this, QStringLiteral("AI Assist"),
                           QStringLiteral("No objects detected at current confidence threshold."));
      return;
    }
    found = ai_labels(*done.prediction, done.names, classes);
  } catch (const EngineError& e) {
    dialogs_.critical(this, QStringLiteral("AI Error"),
                      QStringLiteral("An error occurred during auto-labeling:\n") + e.message());
    return;
  }
  if (!found.new_classes.isEmpty()) {
    // A shape whose class classes.txt does not hold would change class when
    // its label file is next read: no shape without its class on disk.
    const QString error = add_classes(found.new_classes);
    if (!error.isEmpty()) {
      dialogs_.critical(
          this, QStringLiteral("AI Error"),
          QStringLiteral("An error occurred during auto-labeling:\nCould not save %1: %2")
              .arg(LabelDocument::classes_path(image_folder), error));
      return;
    }
  }
  for (const AiShape& shape : found.shapes) annotations.add(shape.points, shape.label, shape.type);
  if (!found.shapes.empty()) label_document_.mark_changed();
  update_annotation_colors();
  save_current_annotations();
  dialogs_.information(
      this, QStringLiteral("AI Success"),
      QStringLiteral("Successfully auto-labeled %1 object(s).").arg(found.shapes.size()));
}

bool AnnotatorTab::end_ai_prediction() {
  if (!std::exchange(ai_predicting_, false)) return false;
  QGuiApplication::restoreOverrideCursor();
  return true;
}

}  // namespace orvane
