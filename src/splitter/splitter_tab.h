// The "Image Splitter" tab: cuts every image of a folder into a grid of tiles.
#pragma once

#include <QTimer>
#include <QWidget>

#include "ui/dialogs.h"
#include "ui/tab_work.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace orvane {

struct SplitOutcome;

class SplitterTab : public QWidget {
  Q_OBJECT

 public:
  explicit SplitterTab(Dialogs& dialogs, QWidget* parent = nullptr);

  void setup_splitter_tab();
  void update_splitter_grid_modes();
  // Starts the splitting in the background; does nothing while it runs.
  void process_image_splitting();

  // The splitting runs off the GUI thread; "✂ SPLIT IMAGES" reads "Cancel"
  // meanwhile, and Cancel says what was written.
  TabWork& work() { return work_; }

  QLineEdit* entry_split_in = nullptr;
  QLineEdit* entry_split_out = nullptr;
  QSpinBox* spin_split_parts = nullptr;
  QComboBox* combo_grid_mode = nullptr;
  QCheckBox* chk_subfolders = nullptr;
  // Beside the grid: neighbouring tiles may share a margin, and the shapes of
  // a labelled folder go into a tile when enough of each lies inside (shown
  // only for a folder with label files).
  QSpinBox* spin_split_overlap = nullptr;  // "Overlap between tiles", 0 %
  QSpinBox* spin_split_keep = nullptr;     // "Keep shapes with at least", 25 % inside
  QPushButton* btn_split_in = nullptr;     // "Browse..." for the input folder
  QPushButton* btn_split_out = nullptr;    // "Browse..." for the output folder
  QPushButton* btn_split = nullptr;        // "✂ SPLIT IMAGES"
  QProgressBar* progress_split = nullptr;  // shown while the splitting runs

 Q_SIGNALS:
  // The keep field follows the input folder as it now stands (a check after
  // typing paused has come back).
  void label_fields_updated();

 private:
  QGroupBox* build_directory_group();
  QGroupBox* build_grid_group();
  void browse_into(QLineEdit* entry, const QString& title);
  // Shows the keep field only while the input folder holds label files:
  // listed off the GUI thread, once typing in the input field pauses.
  void update_label_fields();
  // The closing message of a splitting that ran to its end.
  void show_outcome(const SplitOutcome& outcome);

  Dialogs& dialogs_;
  TabWork work_{this, dialogs_};
  QTimer label_check_;
  quint64 label_check_generation_ = 0;  // counts changes of the input field
};

}  // namespace orvane
