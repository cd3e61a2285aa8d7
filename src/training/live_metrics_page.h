// The "Live Metrics" page of the progress tab's result views: a training run's losses and
// quality measures drawn epoch by epoch as the epochs end, the best epoch so far marked, and an
// AutoML search's trials as points, the best trial's learning rates in the legend. The charts
// are made when the page is first shown or the first values arrive, never at start-up; they
// follow the dark or light theme.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "training/training_metrics.h"
#include "ui/dialogs.h"

class QChart;
class QLabel;
class QPushButton;
class QTimer;

namespace orvane {

class LiveMetricsPage : public QWidget {
  Q_OBJECT

 public:
  explicit LiveMetricsPage(Dialogs& dialogs, QWidget* parent = nullptr);
  ~LiveMetricsPage() override;

  // A new training run: its epochs start empty.
  void clear_epochs();
  // A new AutoML search: its trials start empty.
  void clear_trials();
  // Whether the page shows a search: its trial chart, and the epoch charts only while they
  // hold epochs.
  void show_search(bool shown);
  // An epoch that ended (one with the same number is replaced; one below 1 is refused). A page
  // of up to 60 epochs and trials draws each at once, at most once per turn of the event loop
  // (epochs piled up in the event queue are drawn together right after the turn);
  // a larger one at most every 200 ms, the epochs that came meanwhile together. A chart's line
  // draws at most kMostDrawnPoints points; the summary and the CSV hold every epoch.
  void add_epoch(const EpochMetrics& epoch);
  // Every trial of the search so far (drawn as the epochs are).
  void set_trials(const TrialResults& trials);

  // "Save chart as PNG": asks for a file through the Dialogs seam and writes the charts shown
  // into it as one picture; a failure is shown in a message box.
  void save_chart_png();
  // "Copy values as CSV": the epochs (MetricsHistory::csv) on the clipboard; with trials shown,
  // the trials (trials_csv), after a blank line when there are epochs too.
  void copy_values_csv();

  const MetricsHistory& history() const { return history_; }
  const TrialResults& trials() const { return trials_; }
  // The charts; nullptr until they are made.
  QChart* loss_chart() const;
  QChart* quality_chart() const;
  QChart* trial_chart() const;

  QPushButton* btn_save_png = nullptr;
  QPushButton* btn_copy_csv = nullptr;
  // What the page holds: the epoch and the best epoch so far, the best trial.
  QLabel* lbl_live_summary = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Charts;
  void ensure_charts();
  // Draws what `epochs` and `trials` say changed: now, or when the time between draws of a
  // large page has passed.
  void redraw(bool epochs, bool trials);
  void redraw_pending();
  void redraw_epochs();
  void redraw_trials();
  void apply_theme();
  void update_page();
  QImage chart_image();

  Dialogs& dialogs_;
  MetricsHistory history_;
  TrialResults trials_;
  bool search_shown_ = false;
  QTimer* redraw_timer_ = nullptr;  // runs while a redraw waits
  QElapsedTimer last_drawn_;
  qint64 small_drawing_ns_ = 0;   // drawing a small page since it was last quiet
  bool drawn_this_turn_ = false;  // a small page was drawn in this turn of the event loop
  bool epochs_changed_ = false, trials_changed_ = false;
  // Each measure's points, one per epoch that holds it, of the first lined_epochs_ epochs.
  static constexpr std::size_t kLinesRemade = std::size_t(-1);  // lines_ to be made again
  std::vector<QList<QPointF>> lines_;
  std::size_t lined_epochs_ = 0;
  QWidget* chart_area_ = nullptr;
  std::unique_ptr<Charts> charts_;
};

}  // namespace orvane
