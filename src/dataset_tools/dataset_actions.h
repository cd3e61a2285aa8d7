// The dataset tools behind the annotator's buttons: health check, class
// distribution, export as a train/val/test tree, COCO / VOC files for the
// folder as a whole, and import from COCO or VOC. Each reads what the
// annotator has loaded and shows its outcome through the dialog seam. The
// health check and the export run in the background, one at a time: the
// button that started one reads "Cancel" and a progress bar counts, while
// the annotator stays usable.
#pragma once

#include <QString>
#include <QStringList>

#include "ui/tab_work.h"

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

// The buttons of the background jobs, and the bar they share.
struct DatasetJobWidgets {
  QPushButton* health = nullptr;
  QPushButton* export_split = nullptr;
  QPushButton* import = nullptr;  // "Import COCO / VOC..."
  QProgressBar* bar = nullptr;    // hidden while no job runs
  QPushButton* export_coco_voc = nullptr;
};

// Runs the tools for one window: messages and dialogs go through `dialogs`,
// parented to `parent`; the two jobs run through the hosting tab's `work`.
// While a job runs, the button that started it is its Cancel and the other
// job's button is disabled.
class DatasetTools {
 public:
  DatasetTools(Dialogs& dialogs, QWidget* parent, TabWork& work, DatasetJobWidgets widgets);

  // Lists the folder and reports missing and orphaned label files and
  // near-duplicate shapes in the "Health Check" box. In the background;
  // nothing while a job runs.
  void check_health(const LoadedDataset& dataset);
  // Counts the objects per class and shows them in the distribution dialog.
  void show_class_distribution(const LoadedDataset& dataset);
  // Asks for the split and the output folder, then writes the tree in the
  // background; nothing while a job runs.
  void export_split(const LoadedDataset& dataset);
  // Asks which files (COCO, VOC) and the output folder, asks before replacing
  // any there, then writes them for every annotated image in the background;
  // nothing while a job runs.
  void export_coco_voc(const LoadedDataset& dataset);
  // Asks what to import and where, then writes the label files in the
  // background; nothing while a job runs.
  void import_dataset(const LoadedDataset& dataset);

 private:
  // The closing message of an export that ran to its end.
  void show_export_outcome(const ExportOutcome& outcome, const QString& out_dir,
                           const QString& empty_note, int unreadable_names,
                           const QString& also_note);
  // The job buttons but `except`, disabled while its job runs.
  QList<QPushButton*> other_buttons(QPushButton* except) const;

  Dialogs& dialogs_;
  QWidget* parent_;
  TabWork& work_;
  DatasetJobWidgets widgets_;
};

}  // namespace orvane
