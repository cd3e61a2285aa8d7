// The dataset tools behind the annotator's three buttons: health check, class
// distribution, and export as a train/val/test tree. Each reads what the
// annotator has loaded and shows its outcome through the dialog seam. The
// health check and the export run in the background, one at a time: the
// button that started one reads "Cancel" and a progress bar counts, while
// the annotator stays usable.
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include "common/background_job.h"
#include "ui/job_progress.h"

class QProgressBar;
class QPushButton;
class QWidget;

namespace orvane {

class Dialogs;
struct ExportOutcome;

// What the dataset tools work on: the annotator's loaded folder.
struct LoadedDataset {
  const QString& image_folder;
  const QStringList& image_paths;
  const QStringList& classes;
  int unreadable_names = 0;  // folder entries left out: names not valid UTF-8
};

// The buttons of the two background jobs, and the bar they share.
struct DatasetJobWidgets {
  QPushButton* health = nullptr;
  QPushButton* export_split = nullptr;
  QProgressBar* bar = nullptr;  // hidden while no job runs
};

// Runs the tools for one window: messages and dialogs go through `dialogs`,
// parented to `parent`. While a job runs, the button that started it is its
// Cancel (the tab wires the clicks) and the other job's button is disabled.
class DatasetTools : public QObject {
  Q_OBJECT

 public:
  DatasetTools(Dialogs& dialogs, QWidget* parent, DatasetJobWidgets widgets);

  // Lists the folder and reports missing and orphaned label files and
  // near-duplicate shapes in the "Health Check" box. In the background;
  // nothing while a job runs.
  void check_health(const LoadedDataset& dataset);
  // Counts the objects per class and shows them in the distribution dialog.
  void show_class_distribution(const LoadedDataset& dataset);
  // Asks for the split and the output folder, then writes the tree in the
  // background; nothing while a job runs.
  void export_split(const LoadedDataset& dataset);

  bool job_running() const { return job_.running(); }
  bool health_running() const { return job_.running() && kind_ == Kind::kHealth; }
  bool export_running() const { return job_.running() && kind_ == Kind::kExport; }
  // Stops the running job at once and says what it had done.
  void cancel_job();
  // Ends the running job without a word (the window closes) and waits for
  // its threads until `deadline`. True when they all ended.
  bool stop_job(QDeadlineTimer deadline);

 Q_SIGNALS:
  // On the GUI thread, once a job's closing message has been shown
  // (finished, cancelled or failed), or it was stopped with the window.
  void job_finished();

 private:
  enum class Kind { kHealth, kExport };
  void begin(Kind kind, int total);
  // Before the job's closing message: the buttons and the bar go back.
  void end();
  // The closing message of an export that ran to its end.
  void show_export_outcome(const ExportOutcome& outcome, const QString& out_dir,
                           const QString& empty_note, int unreadable_names);

  Dialogs& dialogs_;
  QWidget* parent_;
  DatasetJobWidgets widgets_;
  BackgroundJob job_;
  JobProgress job_progress_;
  Kind kind_ = Kind::kHealth;  // of the running job
  int job_total_ = 0;          // pairs of the running export
};

}  // namespace orvane
