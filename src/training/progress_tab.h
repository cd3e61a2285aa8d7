// The "Training Analytics & Live Logs" tab: status line, stop button, progress bar, the live
// console and the five result views, and the training worker that feeds them; before the five
// views, our "Live Metrics" page.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>
#include <array>
#include <vector>

#include "canvas/zoomable_view.h"
#include "engine/engine.h"
#include "training/live_metrics_page.h"
#include "training/log_capture.h"
#include "training/trainer_thread.h"
#include "training/tuner_thread.h"
#include "ui/dialogs.h"
#include "ui/tab_work.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTextEdit;

namespace orvane {

class ProgressTab : public QWidget {
  Q_OBJECT

 public:
  ProgressTab(Dialogs& dialogs, Engine& engine, QWidget* parent = nullptr);

  // Builds the tab's widgets (called once, by the constructor).
  void setup_progress_tab();

  // Prepares the tab and starts a training worker with `params` (the 13-entry map).
  void begin_training(const QVariantMap& params);
  void stop_training();
  void update_train_progress(int value, const QString& text, const QString& plot_path);
  void training_stopped();
  void training_finished(const QVariantMap& result);
  void append_log(const QString& text);
  // The training runs started here (a new training does not end the last one). Stopping it
  // ends their engine processes and waits for them, not longer than it takes to end a
  // process, even when the engine never answers. (The AutoML search belongs to the
  // configuration tab's.)
  TabWork& work() { return work_; }
  // Shows the AutoML search `worker` on the status line and the progress bar: "AutoML search
  // running (trial k of N)" from the engine's output, then " · " and the time left once known,
  // until the search ends. STOP ends the search while no training run holds the status line.
  void follow_tuning(YoloTunerThread* worker);

  QLabel* lbl_train_status = nullptr;
  QPushButton* btn_stop_train = nullptr;
  QProgressBar* bar_train_progress = nullptr;
  QTextEdit* console_log = nullptr;
  QTabWidget* tabs_analytics = nullptr;
  ZoomableView* view_loss_plot = nullptr;
  ZoomableView* view_f1_plot = nullptr;
  ZoomableView* view_pr_plot = nullptr;
  ZoomableView* view_confusion_plot = nullptr;
  ZoomableView* view_val_batch = nullptr;
  // Our addition, the first of the result views: the newest training run's epochs and the
  // newest AutoML search's trials, as they come. A new run or search empties it, except for
  // what a job still running shows.
  LiveMetricsPage* live_metrics = nullptr;
  // The last training worker started; empty before the first.
  YoloTrainerThread* trainer_thread = nullptr;

  // Our additions: console text still waiting to be shown goes in now; clearing the console
  // also drops it.
  void flush_log();
  void clear_log();
  qsizetype pending_log_size() const { return pending_log_.size(); }

 Q_SIGNALS:
  // The newest run finished with whole best weights `best_weights`, trained at `imgsz`.
  void run_finished(const QString& best_weights, int imgsz);

 private:
  QWidget* build_log_column();
  QWidget* build_metrics_group();
  void show_training_error(const QString& text);
  void show_tuning(int finished, int iterations);
  bool training_running() const;
  void insert_log(const QString& text);
  void show_pending_log(bool all);
  std::array<ZoomableView*, 5> result_views() const;
  static void clear_view(ZoomableView* view);
  // A line of text over an empty result view, saying why it is empty; an empty text removes it.
  static void set_view_note(ZoomableView* view, const QString& text);

  Dialogs& dialogs_;
  Engine& engine_;
  ConsoleWriter console_;  // carriage returns redraw the console's last line
  QString pending_log_;
  qsizetype appended_this_turn_ = 0;
  QTimer log_timer_;
  bool run_reported_ = false;  // the newest run has sent a progress report
  int run_imgsz_ = 0;          // the newest run's image size
  QString checkpoint_note_;
  QStringList damaged_checkpoints_;  // of the newest run, as its worker found them          // the
                                     // newest run's damaged checkpoints, said at its end
  QPointer<YoloTunerThread> tuner_;  // the AutoML search shown, while it lives
  TabWork work_{this, dialogs_};
};

// How long STOP waits for the engine to end a run by itself before its process is ended: the
// run has ended within two seconds of STOP either way, unless the engine is writing its
// checkpoints then; its process is ended once the write is done, and at the latest
// kStopSaveLimitMs after STOP.
inline constexpr int kStopGraceMs = 1500;
inline constexpr int kStopSaveLimitMs = 30000;

}  // namespace orvane
