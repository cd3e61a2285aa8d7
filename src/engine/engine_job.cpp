#include "engine/engine_job.h"

namespace orvane {
namespace {
QString cancelled() { return QStringLiteral("The job was cancelled."); }
}  // namespace

void EngineJob::abort() {
  stop_.request_stop();
  std::lock_guard lock(mutex_);
  aborted_ = true;
  if (model_) model_->kill();
}

std::optional<EngineProbe> EngineJob::wait_for_engine(Engine& engine) {
  if (!engine.wait_for_probe(stop_.get_token())) return std::nullopt;
  return engine.probe_result();
}

bool EngineJob::engine_installed(Engine& engine, QString& missing) {
  const std::optional<EngineProbe> probe = wait_for_engine(engine);
  if (!probe) return false;  // ended before the engine answered (closing)
  if (probe->has_yolo) return true;
  missing = engine_missing_message(*probe, QStringLiteral("Ultralytics library is not installed."));
  return false;
}

std::unique_ptr<Model> EngineJob::load_job_model(Engine& engine, const QString& path,
                                                 OutputSink output) {
  {
    std::lock_guard lock(mutex_);
    if (aborted_) throw EngineError(cancelled());
  }
  // The process is reachable by abort() before the engine is imported and the weights loaded,
  // which may take long or never end.
  std::unique_ptr<Model> model = engine.start_model(std::move(output));
  {
    std::lock_guard lock(mutex_);
    if (aborted_) {
      model->kill();
      throw EngineError(cancelled());
    }
    model_ = model.get();
  }
  try {
    model->load(path);
  } catch (...) {
    release_job_model();
    throw;
  }
  return model;
}

void EngineJob::release_job_model() {
  std::lock_guard lock(mutex_);
  model_ = nullptr;
}

}  // namespace orvane
