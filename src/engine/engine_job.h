// A worker's hold on the model of its job, so that another thread can end the job's engine
// process (STOP, closing the window) while the worker waits on it: in the engine's look-up,
// while the process imports the engine or loads the model, or in any later call.
#pragma once

#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "engine/engine.h"

namespace orvane {

class EngineJob {
 public:
  // Ends the job's engine process now (its whole process group); a job not yet started fails at
  // once, and a wait for the engine's look-up ends. Any thread.
  void abort();

 protected:
  // Waits for the engine's look-up; true when the engine is installed. Else `missing` says
  // "Ultralytics library is not installed." with its cause, or stays empty when the job was
  // aborted first (nothing to say).
  bool engine_installed(Engine& engine, QString& missing);
  // Loads the model for this job (on the worker thread); throws EngineError when aborted, also
  // when abort() comes while the engine is still importing or loading.
  std::unique_ptr<Model> load_job_model(Engine& engine, const QString& path, OutputSink output);
  // Call before the model is destroyed.
  void release_job_model();

 private:
  // Waits for the engine's look-up (on the worker thread); empty when the job was aborted first.
  std::optional<EngineProbe> wait_for_engine(Engine& engine);

  std::mutex mutex_;
  std::stop_source stop_;
  Model* model_ = nullptr;
  bool aborted_ = false;
};

}  // namespace orvane
