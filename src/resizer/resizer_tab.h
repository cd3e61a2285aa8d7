// The "Image Resizer + Compressor" tab: a queue of image files, the target
// size in pixels or a physical unit at a DPI, a size ceiling, format and
// rotation, a preview with the predicted output size, and the batch export.
#pragma once

#include <QSize>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "canvas/zoomable_view.h"
#include "resizer/batch_writer.h"
#include "ui/tab_work.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace orvane {

class Dialogs;

class ResizerTab : public QWidget {
  Q_OBJECT

 public:
  explicit ResizerTab(Dialogs& dialogs, QWidget* parent = nullptr);

  void setup_resizer_tab();
  void resizer_add_files();
  void resizer_add_folder();
  void resizer_clear_queue();
  void resizer_update_queue_ui();
  void resizer_update_preview();
  // Starts the batch in the background; does nothing while one runs.
  void resizer_process_batch();

  // The batch runs off the GUI thread; "⚡ RUN BATCH EXPORT" reads "Cancel"
  // meanwhile, and Cancel says "Cancelled: k of N images written.".
  TabWork& work() { return work_; }

  QStringList resizer_queue;

  QListWidget* list_resizer_queue = nullptr;
  QLabel* lbl_queue_count = nullptr;
  QCheckBox* chk_enable_dim = nullptr;
  QCheckBox* chk_aspect_ratio = nullptr;
  QLineEdit* entry_resize_w = nullptr;
  QLineEdit* entry_resize_h = nullptr;
  QComboBox* combo_unit = nullptr;
  QLineEdit* entry_dpi = nullptr;
  QCheckBox* chk_enable_comp = nullptr;
  QLineEdit* entry_target_kb = nullptr;
  QComboBox* combo_resizer_format = nullptr;
  QComboBox* combo_resizer_rotate = nullptr;
  QCheckBox* chk_recursive = nullptr;
  ZoomableView* preview_resizer_view = nullptr;
  QLabel* lbl_resizer_details = nullptr;
  QProgressBar* progress_resizer = nullptr;
  QPushButton* btn_run_resizer = nullptr;

  // The queue's three buttons (the layout gives them no names).
  QPushButton* btn_add_files = nullptr;
  QPushButton* btn_add_folder = nullptr;
  QPushButton* btn_clear_queue = nullptr;

 private:
  QGroupBox* build_dimension_group();
  QGroupBox* build_compression_group();
  QGroupBox* build_format_group();
  QWidget* build_parameters_panel();
  QWidget* build_queue_panel();
  void connect_signals();

  // The settings the widgets hold (the DPI already parsed).
  BatchSettings read_settings(double dpi) const;
  void append_to_queue(const QStringList& paths);
  void show_preview(const QString& path);
  // The prediction for the previewed image from the fields as they stand.
  void show_prediction();

  Dialogs& dialogs_;
  // The previewed image as it stands upright, and its file's size: the
  // prediction follows every change of the fields without decoding again.
  std::optional<QSize> previewed_size_;
  qint64 previewed_bytes_ = 0;
  TabWork work_{this, dialogs_};
};

}  // namespace orvane
