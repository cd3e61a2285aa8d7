// The "Image Splitter" tab: cuts every image of a folder into a grid of tiles.
#pragma once

#include <QWidget>

#include "ui/dialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orvane {

class SplitterTab : public QWidget {
  Q_OBJECT

 public:
  explicit SplitterTab(Dialogs& dialogs, QWidget* parent = nullptr);

  void setup_splitter_tab();
  void update_splitter_grid_modes();
  void process_image_splitting();

  QLineEdit* entry_split_in = nullptr;
  QLineEdit* entry_split_out = nullptr;
  QSpinBox* spin_split_parts = nullptr;
  QComboBox* combo_grid_mode = nullptr;
  QCheckBox* chk_subfolders = nullptr;
  QPushButton* btn_split_in = nullptr;   // "Browse..." for the input folder
  QPushButton* btn_split_out = nullptr;  // "Browse..." for the output folder
  QPushButton* btn_split = nullptr;      // "✂ SPLIT IMAGES"

 private:
  QGroupBox* build_directory_group();
  QGroupBox* build_grid_group();
  void browse_into(QLineEdit* entry, const QString& title);

  Dialogs& dialogs_;
};

}  // namespace orvane
