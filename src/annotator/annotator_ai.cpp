// AI assistance: loading trained weights into the engine and labelling the
// shown image with the model's detections.
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QPushButton>

#include "annotator/ai_labels.h"
#include "annotator/annotator_tab.h"
#include "engine/engine.h"
#include "labels/label_document.h"
#include "ui/dialogs.h"
#include "ui/wait_cursor.h"

namespace orvane {

void AnnotatorTab::load_ai_model() {
  if (!engine_.has_yolo()) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Ultralytics is not installed."));
    return;
  }
  const QString path =
      dialogs_.get_open_file_name(this, QStringLiteral("Load YOLO AI Model"), QDir::currentPath(),
                                  QStringLiteral("PyTorch Weights (*.pt)"));
  if (path.isEmpty()) return;
  try {
    // The engine starts in its own process and keeps the model there, so
    // every later labelling predicts without loading it again.
    WaitCursor wait;
    std::unique_ptr<Model> model = engine_.load(path);
    ai_model = std::move(model);
  } catch (const EngineError& e) {
    // The previous model, if any, stays loaded and usable.
    dialogs_.critical(this, QStringLiteral("Error"), e.message());
    return;
  }
  btn_run_ai->setEnabled(true);
  dialogs_.information(this, QStringLiteral("AI Model Loaded"),
                       QStringLiteral("Loaded model: ") + QFileInfo(path).fileName());
}

void AnnotatorTab::run_ai_autolabel() {
  if (!ai_model || image_paths.isEmpty()) return;
  // The shapes belong to the image on the canvas and its label file.
  if (display_cv_img.empty() || !label_document_.has_image()) return;
  if (!read_only_reason(true).isEmpty()) return;
  WaitCursor wait;
  AiLabels found;
  try {
    const Prediction prediction =
        ai_model->predict(label_document_.image_path(), spin_ai_conf->value());
    if (prediction.boxes.empty()) {
      wait.restore();
      dialogs_.information(this, QStringLiteral("AI Assist"),
                           QStringLiteral("No objects detected at current confidence threshold."));
      return;
    }
    found = ai_labels(prediction, ai_model->names(), classes);
  } catch (const EngineError& e) {
    wait.restore();
    dialogs_.critical(this, QStringLiteral("AI Error"),
                      QStringLiteral("An error occurred during auto-labeling:\n") + e.message());
    return;
  }
  if (!found.new_classes.isEmpty()) {
    // A shape whose class classes.txt does not hold would change class when
    // its label file is next read: no shape without its class on disk.
    const QString error = add_classes(found.new_classes);
    if (!error.isEmpty()) {
      wait.restore();
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
  wait.restore();
  dialogs_.information(
      this, QStringLiteral("AI Success"),
      QStringLiteral("Successfully auto-labeled %1 object(s).").arg(found.shapes.size()));
}

}  // namespace orvane
