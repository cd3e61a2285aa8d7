// The training worker: one engine training run with live output, per-epoch progress and a
// stop flag, then the validation of the best weights.
#pragma once

#include <QThread>
#include <QVariantMap>
#include <atomic>
#include <mutex>

#include "engine/engine.h"

namespace orvane {

// Runs a model job on its own engine process and can end that process from another thread.
class EngineJob {
 public:
  // Ends the job's engine process now (closing the window). Any thread.
  void abort();

 protected:
  // Loads the model for this job; throws EngineError when aborted before.
  std::unique_ptr<Model> load_job_model(Engine& engine, const QString& path, OutputSink output);
  void release_job_model();

 private:
  std::mutex mutex_;
  Model* model_ = nullptr;
  bool aborted_ = false;
};

class YoloTrainerThread : public QThread, public EngineJob {
  Q_OBJECT

 public:
  YoloTrainerThread(Engine& engine, QVariantMap params, QObject* parent = nullptr);
  ~YoloTrainerThread() override;

  // Asks training to stop at the next batch or epoch end. Returns at once; any thread.
  void stop();

  const QVariantMap params;
  std::atomic<bool> is_stopped{false};

 Q_SIGNALS:
  void log_signal(const QString& text);
  void progress_signal(int value, const QString& text, const QString& plot_path);
  void finished_signal(const QVariantMap& result);
  void stopped_signal();
  void error_signal(const QString& text);

 protected:
  // Worker thread.
  void run() override;

 private:
  Engine& engine_;
};

}  // namespace orvane
