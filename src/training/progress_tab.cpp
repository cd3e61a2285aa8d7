#include "training/progress_tab.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "training/log_capture.h"
#include "training/result_plots.h"

namespace orvane {
namespace {
// The console lays out a whole paragraph again on every append; output that never ends its
// line would make that paragraph megabytes long and the window slow.
constexpr int kConsoleLineLimit = 2000;
// Text put into the console at once when nothing waits, and the time the console may take per
// turn of the event loop to catch up with a flood, a piece at a time.
constexpr qsizetype kConsoleSlice = 32768;
constexpr qsizetype kConsolePiece = 8192;
constexpr qint64 kConsoleTurnMs = 40;
}  // namespace

ProgressTab::ProgressTab(Dialogs& dialogs, Engine& engine, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), engine_(engine) {
  setup_progress_tab();
}

void ProgressTab::setup_progress_tab() {
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(build_log_column(), 4);
  layout->addWidget(build_metrics_group(), 5);
  log_timer_.setSingleShot(true);
  log_timer_.setInterval(1);
  connect(btn_stop_train, &QPushButton::clicked, this, &ProgressTab::stop_training);
  connect(&log_timer_, &QTimer::timeout, this, [this] { show_pending_log(false); });
}

QWidget* ProgressTab::build_log_column() {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);

  lbl_train_status = new QLabel(QStringLiteral("Status: Idle Workstation"));
  QFont font(QStringLiteral("Segoe UI"), 11, QFont::Bold);
  lbl_train_status->setFont(font);
  // The application style sheet would override a font set with setFont alone.
  lbl_train_status->setStyleSheet(
      QStringLiteral("font-family: 'Segoe UI'; font-size: 11pt; font-weight: bold;"));
  btn_stop_train = new QPushButton(QStringLiteral("⏹️ STOP TRAINING"));
  btn_stop_train->setObjectName(QStringLiteral("dangerBtn"));
  btn_stop_train->setEnabled(false);
  auto* status_row = new QHBoxLayout;
  status_row->addWidget(lbl_train_status);
  status_row->addStretch();
  status_row->addWidget(btn_stop_train);

  bar_train_progress = new QProgressBar;
  console_log = new QTextEdit;
  console_log->setReadOnly(true);
  // One line per line of the engine (its tables keep their columns), scrolled sideways; a log of
  // a long run keeps no undo history.
  console_log->setLineWrapMode(QTextEdit::NoWrap);
  console_log->setUndoRedoEnabled(false);

  layout->addLayout(status_row);
  layout->addWidget(bar_train_progress);
  layout->addWidget(new QLabel(QStringLiteral("Real-Time Execution Logs:")));
  layout->addWidget(console_log);
  return column;
}

QWidget* ProgressTab::build_metrics_group() {
  // "&&" shows one "&" (a single one would mark a shortcut key).
  auto* group = new QGroupBox(QStringLiteral("Performance Metrics && Diagnostics"));
  auto* layout = new QVBoxLayout(group);
  tabs_analytics = new QTabWidget;
  live_metrics = new LiveMetricsPage(dialogs_);
  tabs_analytics->addTab(live_metrics, QStringLiteral("Live Metrics"));
  view_loss_plot = new ZoomableView;
  view_f1_plot = new ZoomableView;
  view_pr_plot = new ZoomableView;
  view_confusion_plot = new ZoomableView;
  view_val_batch = new ZoomableView;
  tabs_analytics->addTab(view_loss_plot, QStringLiteral("Live Loss Curves"));
  tabs_analytics->addTab(view_f1_plot, QStringLiteral("F1-Score"));
  tabs_analytics->addTab(view_pr_plot, QStringLiteral("Precision-Recall"));
  tabs_analytics->addTab(view_confusion_plot, QStringLiteral("Confusion Matrix"));
  tabs_analytics->addTab(view_val_batch, QStringLiteral("Validation Batch Predictions"));
  layout->addWidget(tabs_analytics);
  return group;
}

void ProgressTab::clear_log() {
  pending_log_.clear();
  console_log->clear();
  console_.reset();
}

void ProgressTab::begin_training(const QVariantMap& params) {
  clear_log();
  lbl_train_status->setText(QStringLiteral("Status: Initializing YOLO Session..."));
  bar_train_progress->setValue(0);
  btn_stop_train->setEnabled(true);
  // The views show the run the tab is about, nothing of an earlier one.
  for (ZoomableView* view : result_views()) clear_view(view);
  run_reported_ = false;
  run_imgsz_ = params.value(QStringLiteral("imgsz")).toInt();
  checkpoint_note_.clear();
  damaged_checkpoints_.clear();
  live_metrics->clear_epochs();
  if (!(tuner_ && tuner_->isRunning())) {
    live_metrics->clear_trials();
    live_metrics->show_search(false);
  }

  auto* worker = new YoloTrainerThread(engine_, params, this);
  work_.adopt(trainer_thread, worker);
  // Only the newest run fills the result views and the status of its start: an earlier run
  // still ending must not show its files under the new one.
  connect(worker, &YoloTrainerThread::log_signal, this, &ProgressTab::append_log);
  connect(worker, &YoloTrainerThread::progress_signal, this,
          [this, worker](int value, const QString& text, const QString& plot_path) {
            if (worker == trainer_thread) run_reported_ = true;
            update_train_progress(value, text, plot_path);
          });
  connect(worker, &YoloTrainerThread::epoch_metrics_signal, this,
          [this, worker](const EpochMetrics& metrics) {
            if (worker == trainer_thread) live_metrics->add_epoch(metrics);
          });
  connect(worker, &YoloTrainerThread::finished_signal, this,
          [this, worker](const QVariantMap& result) {
            if (worker == trainer_thread) training_finished(result);
          });
  connect(worker, &YoloTrainerThread::damaged_checkpoints_signal, this,
          [this, worker](const QStringList& paths) {
            if (worker != trainer_thread) return;
            damaged_checkpoints_ = paths;
            checkpoint_note_ = QStringLiteral(
                                   "Damaged checkpoint (cut off while being written, it will not "
                                   "load): %1")
                                   .arg(QDir::toNativeSeparators(paths.join(QStringLiteral(", "))));
          });
  connect(worker, &YoloTrainerThread::stopped_signal, this, [this, worker] {
    if (worker == trainer_thread) training_stopped();
  });
  connect(worker, &YoloTrainerThread::error_signal, this, [this, worker](const QString& text) {
    if (worker != trainer_thread) return show_training_error(text);
    if (!run_reported_)
      lbl_train_status->setText(QStringLiteral("Status: Training Failed to Start"));
    btn_stop_train->setEnabled(false);  // nothing runs any more
    show_training_error(checkpoint_note_.isEmpty() ? text : text + "\n\n" + checkpoint_note_);
  });
  worker->start();
}

std::array<ZoomableView*, 5> ProgressTab::result_views() const {
  return {view_loss_plot, view_f1_plot, view_pr_plot, view_confusion_plot, view_val_batch};
}

void ProgressTab::clear_view(ZoomableView* view) {
  if (view->scene()) view->scene()->clear();
  view->setToolTip(QString());
  set_view_note(view, {});
}

void ProgressTab::set_view_note(ZoomableView* view, const QString& text) {
  auto* note =
      view->viewport()->findChild<QLabel*>(QStringLiteral("viewNote"), Qt::FindDirectChildrenOnly);
  if (!note && text.isEmpty()) return;
  if (!note) {
    auto* layout =
        view->viewport()->layout() ? view->viewport()->layout() : new QVBoxLayout(view->viewport());
    note = new QLabel;
    note->setObjectName(QStringLiteral("viewNote"));
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    note->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(note);
  }
  note->setText(text);
  note->setVisible(!text.isEmpty());
}

void ProgressTab::stop_training() {
  // STOP ends what the status line shows: a running training first, else the search.
  if (!training_running() && tuner_ && tuner_->isRunning()) {
    lbl_train_status->setText(QStringLiteral("Status: Halting AutoML search..."));
    btn_stop_train->setEnabled(false);
    tuner_->stop();
    return;
  }
  if (!trainer_thread || !trainer_thread->isRunning()) return;
  lbl_train_status->setText(QStringLiteral("Status: Halting Training..."));
  btn_stop_train->setEnabled(false);
  trainer_thread->stop();
  // The engine heeds the flag at its next batch; one still importing, loading the model or
  // deep in a long batch does not: its process is ended, and the run ends as stopped. Never
  // in the middle of writing its checkpoints, which would leave them cut: then once the write
  // is done, or when it takes longer than any write should.
  const QPointer<YoloTrainerThread> worker = trainer_thread;
  QTimer::singleShot(kStopGraceMs, this, [this, worker] {
    if (!worker || !worker->isRunning() || worker->end_unless_saving()) return;
    if (worker == trainer_thread)
      lbl_train_status->setText(QStringLiteral("Status: Saving checkpoint..."));
  });
  QTimer::singleShot(kStopSaveLimitMs, this, [worker] {
    if (worker && worker->isRunning()) worker->abort();
  });
}

bool ProgressTab::training_running() const { return trainer_thread && trainer_thread->isRunning(); }

void ProgressTab::follow_tuning(YoloTunerThread* worker) {
  if (!worker) return;
  tuner_ = worker;
  live_metrics->clear_trials();
  if (!training_running()) live_metrics->clear_epochs();
  live_metrics->show_search(true);
  connect(worker, &YoloTunerThread::trials_signal, this,
          [this, worker](const TrialResults& trials) {
            if (worker == tuner_) live_metrics->set_trials(trials);
          });
  // A training run that is running keeps the status line and the bar.
  const auto shown = [this, worker] { return worker == tuner_ && !training_running(); };
  if (shown()) show_tuning(0, YoloTunerThread::kIterations);
  connect(worker, &YoloTunerThread::trial_signal, this, [this, shown](int finished, int of) {
    if (shown()) show_tuning(finished, of);
  });
  connect(worker, &YoloTunerThread::estimate_signal, this, [this, shown](const QString& left) {
    if (shown())
      lbl_train_status->setText(lbl_train_status->text().section(QStringLiteral(" · "), 0, 0) +
                                QStringLiteral(" · ") + left);
  });
  connect(worker, &YoloTunerThread::finished_signal, this, [this, shown] {
    if (!shown()) return;
    lbl_train_status->setText(QStringLiteral("Status: AutoML search finished"));
    bar_train_progress->setValue(100);
  });
  connect(worker, &YoloTunerThread::error_signal, this, [this, shown] {
    if (shown()) lbl_train_status->setText(QStringLiteral("Status: AutoML search failed"));
  });
  connect(worker, &YoloTunerThread::stopped_signal, this, [this, shown] {
    if (shown()) lbl_train_status->setText(QStringLiteral("Status: AutoML search stopped"));
  });
  // STOP ends the search while the status line shows it.
  if (shown()) btn_stop_train->setEnabled(true);
  connect(worker, &QThread::finished, this, [this, shown] {
    if (shown()) btn_stop_train->setEnabled(false);
  });
}

void ProgressTab::show_tuning(int finished, int iterations) {
  if (iterations <= 0) return;
  finished = std::clamp(finished, 0, iterations);
  const int trial = std::min(finished + 1, iterations);
  lbl_train_status->setText(
      QStringLiteral("Status: AutoML search running (trial %1 of %2)").arg(trial).arg(iterations));
  bar_train_progress->setValue(finished * 100 / iterations);
}

void ProgressTab::update_train_progress(int value, const QString& text, const QString& plot_path) {
  bar_train_progress->setValue(value);
  lbl_train_status->setText(QStringLiteral("Status: ") + text);
  if (!plot_path.isEmpty() && QFileInfo::exists(plot_path))
    view_loss_plot->set_image(QPixmap(plot_path));
}

void ProgressTab::training_stopped() {
  lbl_train_status->setText(
      QStringLiteral("Status: Training Stopped") +
      (checkpoint_note_.isEmpty() ? QString() : QStringLiteral(" - ") + checkpoint_note_));
  btn_stop_train->setEnabled(false);
  // The views stay empty: the engine writes its plots at the end of a whole run.
  for (ZoomableView* view : result_views())
    if (!view->scene() || view->scene()->items().isEmpty())
      set_view_note(view,
                    QStringLiteral("Training was stopped before the engine wrote its plots."));
}

void ProgressTab::training_finished(const QVariantMap& result) {
  lbl_train_status->setText(
      QStringLiteral("Status: Training Complete") +
      (checkpoint_note_.isEmpty() ? QString() : QStringLiteral(" - ") + checkpoint_note_));
  bar_train_progress->setValue(100);
  btn_stop_train->setEnabled(false);
  const QString save_dir = result.value(QStringLiteral("save_dir")).toString();
  const std::pair<ZoomableView*, ResultView> views[] = {
      {view_loss_plot, ResultView::Loss},
      {view_confusion_plot, ResultView::Confusion},
      {view_f1_plot, ResultView::F1},
      {view_pr_plot, ResultView::PR},
      {view_val_batch, ResultView::ValBatch}};
  // A view shows a file of this run or nothing; its tool tip names the file.
  for (const auto& [view, kind] : views) {
    const QString file = find_result_image(save_dir, kind);
    if (file.isEmpty()) {
      clear_view(view);
    } else {
      view->set_image(QPixmap(file));
      view->setToolTip(QDir::toNativeSeparators(file));
      set_view_note(view, {});
    }
  }
  const QString best = QDir(save_dir).filePath(QStringLiteral("weights/best.pt"));
  // The worker has checked the run's checkpoints already.
  if (!save_dir.isEmpty() && QFileInfo(best).isFile() && !damaged_checkpoints_.contains(best)) {
    Q_EMIT run_finished(best, run_imgsz_);
  }
}

void ProgressTab::append_log(const QString& text) {
  // A flood of output is shown a slice per turn of the event loop, so the window keeps
  // answering; text already waiting goes first.
  if (pending_log_.isEmpty() && appended_this_turn_ + text.size() <= kConsoleSlice) {
    insert_log(text);
  } else {
    pending_log_ += text;
  }
  if (!log_timer_.isActive()) log_timer_.start();
}

void ProgressTab::insert_log(const QString& text) {
  console_log->setTextCursor(console_.append(console_log->document(), text, kConsoleLineLimit));
  appended_this_turn_ += text.size();
}

void ProgressTab::show_pending_log(bool all) {
  appended_this_turn_ = 0;
  QElapsedTimer spent;
  spent.start();
  while (!pending_log_.isEmpty() && (all || spent.elapsed() < kConsoleTurnMs)) {
    const qsizetype take = std::min(pending_log_.size(), kConsolePiece);
    insert_log(pending_log_.left(take));
    pending_log_.remove(0, take);
  }
  if (!pending_log_.isEmpty()) {
    appended_this_turn_ = kConsoleSlice;  // the rest of this turn belongs to the window
    log_timer_.start();
  }
}

void ProgressTab::flush_log() { show_pending_log(true); }

void ProgressTab::show_training_error(const QString& text) {
  dialogs_.critical(this, QStringLiteral("Training Error"), text);
}

}  // namespace orvane
