#include "engine/engine_job.h"

namespace orvane {

void EngineJob::abort() {
  std::lock_guard lock(mutex_);
  aborted_ = true;
  if (model_) model_->kill();
}

std::unique_ptr<Model> EngineJob::load_job_model(Engine& engine, const QString& path,
                                                 OutputSink output) {
  const QString cancelled = QStringLiteral("The job was cancelled.");
  {
    std::lock_guard lock(mutex_);
    if (aborted_) throw EngineError(cancelled);
  }
  std::unique_ptr<Model> model = engine.load(path, std::move(output));
  std::lock_guard lock(mutex_);
  if (aborted_) throw EngineError(cancelled);
  model_ = model.get();
  return model;
}

void EngineJob::release_job_model() {
  std::lock_guard lock(mutex_);
  model_ = nullptr;
}

}  // namespace orvane
