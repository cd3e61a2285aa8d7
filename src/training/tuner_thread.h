// The AutoML worker: the engine's hyperparameter search, its trials as they finish, then the
// search's result file.
#pragma once

#include <QThread>
#include <QVariantMap>
#include <atomic>

#include "engine/engine.h"
#include "engine/engine_job.h"
#include "training/training_metrics.h"

namespace orvane {

class YoloTunerThread : public QThread, public EngineJob {
  Q_OBJECT

 public:
  YoloTunerThread(Engine& engine, QVariantMap params, QObject* parent = nullptr);
  ~YoloTunerThread() override;

  // The iterations the search is asked for.
  static constexpr int kIterations = 5;

  const QVariantMap params;

  // STOP and Cancel: ends the search's engine process now (its trial's too) and the search
  // ends as stopped. Any thread.
  void stop();

 Q_SIGNALS:
  void log_signal(const QString& text);
  void finished_signal(const QVariantMap& result);
  void error_signal(const QString& text);
  // The engine's output says that `finished` of the `iterations` trials have ended.
  void trial_signal(int finished, int iterations);
  // Our addition: the trials the search's results file lists so far (all of them, in order),
  // sent when the list grew: read after each trial the engine's output reports, and once more
  // when the search ends.
  void trials_signal(const orvane::TrialResults& trials);
  // The search ended on stop().
  void stopped_signal();
  // The time the search still needs ("about 12 min left"): once the first trial's first epoch
  // is timed, and again after each trial.
  void estimate_signal(const QString& text);

 protected:
  // Worker thread.
  void run() override;

 private:
  Engine& engine_;
  std::atomic<bool> stopped_{false};
};

}  // namespace orvane
