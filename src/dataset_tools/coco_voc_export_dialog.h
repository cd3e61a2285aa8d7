// CocoVocExportDialog: which annotation files "Export COCO / VOC..." writes for
// the loaded folder as a whole.
#pragma once

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;

namespace orvane {

class CocoVocExportDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CocoVocExportDialog(QWidget* parent = nullptr);

  // COCO is chosen at first; OK is enabled while at least one is.
  QCheckBox* chk_coco = nullptr;
  QCheckBox* chk_voc = nullptr;
  QDialogButtonBox* buttons = nullptr;
};

}  // namespace orvane
