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
#include "common/async_call.h"
#include "engine/engine.h"
#include "labels/label_document.h"
#include "ui/dialogs.h"

namespace orvane {

struct AnnotatorTab::AiWork {
  AsyncCalls calls;
  // Counts model changes: a prediction asked of an earlier model is not applied.
  quint64 generation = 0;
  bool loading = false;  // a model load, or the wait for the engine before it
  bool predicting = false;
  bool busy_cursor = false;
  // The status line while loading, and what it said before.
  QString waiting_text, status_before, style_before;
};

struct AnnotatorTab::AiPrediction {
  quint64 generation = 0;
  QString image_path;
  std::optional<Prediction> prediction;  // empty on failure
  std::map<int, QString> names;
  QString error;
};

AnnotatorTab::AiWork& AnnotatorTab::ai_work() {
  if (!ai_work_) ai_work_ = std::make_shared<AiWork>();
  return *ai_work_;
}

bool AnnotatorTab::ai_busy() const {
  return ai_work_ && (ai_work_->loading || ai_work_->predicting);
}

void AnnotatorTab::show_ai_waiting(const QString& text) {
  AiWork& work = ai_work();
  work.loading = true;
  btn_load_ai->setEnabled(false);
  work.waiting_text = text;
  work.status_before = lbl_img_status->text();
  work.style_before = lbl_img_status->styleSheet();
  lbl_img_status->setText(text);
}

void AnnotatorTab::end_ai_waiting() {
  AiWork& work = ai_work();
  work.loading = false;
  btn_load_ai->setEnabled(true);
  // Another image shown meanwhile has put its own status there.
  if (lbl_img_status->text() == work.waiting_text) {
    lbl_img_status->setText(work.status_before);
    lbl_img_status->setStyleSheet(work.style_before);
  }
}

void AnnotatorTab::load_ai_model() {
  AiWork& work = ai_work();
  if (work.loading) return;
  Engine& engine = engine_;
  const std::optional<EngineProbe> probe = engine.probe_result();
  if (!probe) {
    // The engine's look-up has not answered: wait for it off the GUI thread, then start again.
    show_ai_waiting(QStringLiteral("Waiting for the YOLO engine..."));
    work.calls.start(
        this, [&engine](std::stop_token stop) { return engine.wait_for_probe(stop); },
        [this](bool answered) {
          end_ai_waiting();
          if (answered) load_ai_model();
        });
    return;
  }
  if (!probe->has_yolo) {
    dialogs_.critical(this, QStringLiteral("Error"),
                      QStringLiteral("Ultralytics is not installed."));
    return;
  }
  const QString path =
      dialogs_.get_open_file_name(this, QStringLiteral("Load YOLO AI Model"), QDir::currentPath(),
                                  QStringLiteral("PyTorch Weights (*.pt)"));
  if (path.isEmpty()) return;
  show_ai_waiting(QStringLiteral("Loading model..."));
  work.calls.start(
      this,
      // Worker thread. The engine starts in its own process and keeps the model there, so every
      // later labelling predicts without loading it again.
      [&engine, path](std::stop_token stop) { return load_shared_model(engine, path, stop); },
      [this, path](const SharedModelLoad& loaded) {
        end_ai_waiting();
        if (!loaded.model) {
          // The previous model, if any, stays loaded and usable.
          dialogs_.critical(this, QStringLiteral("Error"), loaded.error);
          return;
        }
        // A labelling of the old model still running fails now; its result is dropped.
        ++ai_work().generation;
        if (ai_model) ai_model->kill();
        ai_model = loaded.model;
        btn_run_ai->setEnabled(true);
        dialogs_.information(this, QStringLiteral("AI Model Loaded"),
                             QStringLiteral("Loaded model: ") + QFileInfo(path).fileName());
      });
}

void AnnotatorTab::run_ai_autolabel() {
  if (!ai_model || image_paths.isEmpty()) return;
  // The shapes belong to the image on the canvas and its label file.
  if (display_cv_img.empty() || !label_document_.has_image()) return;
  if (!read_only_reason(true).isEmpty()) return;
  AiWork& work = ai_work();
  if (work.predicting) return;  // one labelling at a time
  work.predicting = true;
  // The window stays usable while the engine works; the cursor says that it does.
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  work.busy_cursor = true;
  AiPrediction request;
  request.generation = work.generation;
  request.image_path = label_document_.image_path();
  work.calls.start(
      this,
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
  AiWork& work = ai_work();
  work.predicting = false;
  if (std::exchange(work.busy_cursor, false)) QGuiApplication::restoreOverrideCursor();
  // Only the image and model it was asked for take the result: after a step to another image,
  // or a new model, it is dropped.
  if (done.generation != work.generation || display_cv_img.empty() ||
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

void AnnotatorTab::stop_ai_work() {
  if (!ai_work_) return;
  AiWork& work = *ai_work_;
  // Each call in flight ends its engine process as it is stopped; its result is dropped.
  work.calls.stop_all();
  ++work.generation;
  if (std::exchange(work.busy_cursor, false)) QGuiApplication::restoreOverrideCursor();
  if (work.loading) end_ai_waiting();
  if (ai_model) ai_model->kill();
  ai_model.reset();
  btn_run_ai->setEnabled(false);
  if (std::exchange(work.predicting, false)) Q_EMIT prediction_finished();
}

}  // namespace orvane
