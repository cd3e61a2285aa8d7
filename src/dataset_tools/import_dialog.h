// ImportDialog: what "Import COCO / VOC..." reads and where it writes: the
// COCO JSON file or the VOC folder, the images folder, the labels beside the
// images or in a copy of them, and the choices of the conversion.
#pragma once

#include <QDialog>

#include "dataset_tools/dataset_import.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace orvane {

class Dialogs;

class ImportDialog : public QDialog {
  Q_OBJECT

 public:
  // `images_folder`: the annotator's loaded folder, the default images folder.
  ImportDialog(Dialogs& dialogs, const QString& images_folder, QWidget* parent = nullptr);

  // Accepts when every path needed is given; otherwise warns and stays open.
  void validate();
  ImportSettings settings() const;

  QComboBox* combo_source = nullptr;  // "COCO JSON file", "VOC XML folder"
  QLineEdit* entry_source = nullptr;
  QLineEdit* entry_images = nullptr;
  QComboBox* combo_target = nullptr;  // "Beside the images", "Into a copy of the folder"
  QLineEdit* entry_copy = nullptr;
  QCheckBox* chk_replace = nullptr;    // off: existing label files are kept
  QCheckBox* chk_separate = nullptr;   // off: several polygons joined into one line
  QCheckBox* chk_difficult = nullptr;  // on
  QCheckBox* chk_truncated = nullptr;  // on

 private:
  void browse_source();
  void browse_folder(QLineEdit* entry, const QString& title);
  void update_enabled();

  Dialogs& dialogs_;
};

}  // namespace orvane
