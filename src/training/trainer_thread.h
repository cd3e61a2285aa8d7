// The training worker: one engine training run with live output, per-epoch progress and
// metrics and a stop flag, then the validation of the best weights.
#pragma once

#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <atomic>
#include <map>
#include <mutex>
#include <set>

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
  // Ends the engine process now, like abort(), unless the engine is writing its checkpoints
  // (weights/last.pt, best.pt, which the inference tab loads): then it is ended as soon as
  // that write is done, and this returns false. abort() itself never waits. Any thread.
  bool end_unless_saving();

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
  // Our addition: checkpoints of the run (full paths) that are not whole at its end, cut off
  // while the engine wrote them; sent before the run's last signal.
  void damaged_checkpoints_signal(const QStringList& paths);

 protected:
  // Worker thread.
  void run() override;

 private:
  // At the end of a run: the epochs of the run folder's results.csv that were not sent (the
  // engine ended before reporting them), then the damaged checkpoints. Worker thread.
  void report_run_folder(const QString& save_dir, const std::set<int>& sent,
                         const std::map<int, Trainer>& saves);

  Engine& engine_;
  std::mutex save_mutex_;
  bool saving_ = false;          // the engine is writing its checkpoints
  bool end_after_save_ = false;  // the process is to be ended when that write is done
};

}  // namespace orvane
