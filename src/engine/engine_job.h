// A worker's hold on the model of its job, so that another thread can end the job's engine
// process (closing the window) while the worker waits on it.
#pragma once

#include <QString>
#include <memory>
#include <mutex>

#include "engine/engine.h"

namespace orvane {

class EngineJob {
 public:
  // Ends the job's engine process now; a job not yet started fails at once. Any thread.
  void abort();

 protected:
  // Loads the model for this job (on the worker thread); throws EngineError when aborted.
  std::unique_ptr<Model> load_job_model(Engine& engine, const QString& path, OutputSink output);
  // Call before the model is destroyed.
  void release_job_model();

 private:
  std::mutex mutex_;
  Model* model_ = nullptr;
  bool aborted_ = false;
};

}  // namespace orvane
