#include "inference/export_thread.h"

#include <QDir>

#include "inference/inference_files.h"

namespace orvane {

ExportThread::ExportThread(Engine& engine, QString model_path, QString format_str,
                           QString export_dir, QObject* parent)
    : QThread(parent),
      mp(std::move(model_path)),
      fs(std::move(format_str)),
      ed(std::move(export_dir)),
      engine_(engine) {}

ExportThread::~ExportThread() {
  abort();
  wait();
}

void ExportThread::run() {
  QString missing;
  if (!engine_installed(engine_, missing)) {
    if (!missing.isEmpty()) Q_EMIT error_signal(missing);
    return;
  }
  QString exported;
  std::unique_ptr<Model> model;
  try {
    model = load_job_model(engine_, mp, {});  // the engine's output is not shown
    exported = model->export_model(fs);
  } catch (const EngineError& e) {
    release_job_model();
    Q_EMIT error_signal(e.message());
    return;
  }
  release_job_model();
  model.reset();

  if (!QDir().mkpath(ed)) {
    Q_EMIT error_signal(QStringLiteral("Cannot create the export folder: %1").arg(ed));
    return;
  }
  const ExportDestination destination = export_destination(exported, ed);
  if (!destination.error.isEmpty()) {
    Q_EMIT error_signal(destination.error);
    return;
  }
  const QString error = move_export(exported, destination.path);
  if (!error.isEmpty()) {
    Q_EMIT error_signal(error);
    return;
  }
  Q_EMIT finished_signal(destination.path);
}

}  // namespace orvane
