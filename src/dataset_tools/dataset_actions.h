// The dataset tools behind the annotator's three buttons: health check, class
// distribution, and export as a train/val/test tree. Each reads what the
// annotator has loaded and shows its outcome through the dialog seam.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace orvane {

class Dialogs;

// What the dataset tools work on: the annotator's loaded folder.
struct LoadedDataset {
  const QString& image_folder;
  const QStringList& image_paths;
  const QStringList& classes;
  int unreadable_names = 0;  // folder entries left out: names not valid UTF-8
};

// Runs the tools for one window: messages and dialogs go through `dialogs`,
// parented to `parent`.
class DatasetTools {
 public:
  DatasetTools(Dialogs& dialogs, QWidget* parent);

  // Lists the folder and reports missing and orphaned label files and
  // near-duplicate shapes in the "Health Check" box.
  void check_health(const LoadedDataset& dataset);
  // Counts the objects per class and shows them in the distribution dialog.
  void show_class_distribution(const LoadedDataset& dataset);
  // Asks for the split and the output folder, then writes the tree.
  void export_split(const LoadedDataset& dataset);

 private:
  Dialogs& dialogs_;
  QWidget* parent_;
};

}  // namespace orvane
