// The training worker: one engine training run with live output, per-epoch progress and
// metrics and a stop flag, then the validation of the best weights.
#pragma once

#include <QThread>
#include <QVariantMap>
#include <atomic>

#include "engine/engine.h"
#include "engine/engine_job.h"
#include "training/training_metrics.h"

namespace orvane {

class YoloTrainerThread : public QThread, public EngineJob {
  Q_OBJECT

 public:
  YoloTrainerThread(Engine& engine, QVariantMap params, QObject* parent = nullptr);
  ~YoloTrainerThread() override;

  // Asks training to stop at the next batch or epoch end. Returns at once; any thread. A run
  // that has not ended some time later is ended with abort() (the progress tab does that); it
  // then ends as stopped, whatever phase it was in.
  void stop();

  const QVariantMap params;
  std::atomic<bool> is_stopped{false};

 Q_SIGNALS:
  void log_signal(const QString& text);
  void progress_signal(int value, const QString& text, const QString& plot_path);
  void finished_signal(const QVariantMap& result);
  void stopped_signal();
  void error_signal(const QString& text);
  // Our addition: what the engine's trainer held at the end of an epoch, once per epoch (an
  // epoch the engine holds none of the measures for sends nothing).
  void epoch_metrics_signal(const orvane::EpochMetrics& metrics);

 protected:
  // Worker thread.
  void run() override;

 private:
  Engine& engine_;
};

}  // namespace orvane
