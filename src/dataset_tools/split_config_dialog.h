// SplitConfigDialog: the percentages of the train/val/test split and the label
// format of an export, and whether COCO and VOC files are written beside the
// YOLO labels (a row of its own under the form, both off at first).
#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace orvane {

class Dialogs;

class SplitConfigDialog : public QDialog {
  Q_OBJECT

 public:
  // `dialogs` shows the warning when the percentages do not total 100.
  explicit SplitConfigDialog(Dialogs& dialogs, QWidget* parent = nullptr);

  // Accepts the dialog when the three percentages total 100; otherwise warns
  // and leaves it open.
  void validate();
  // train, val, test as fractions.
  std::array<double, 3> get_ratios() const;
  // "Detection" or "Segmentation".
  QString get_format() const;
  // Also write a COCO file per part, VOC files per image.
  bool also_coco() const;
  bool also_voc() const;

  QSpinBox* ts = nullptr;
  QSpinBox* vs = nullptr;
  QSpinBox* tes = nullptr;
  QComboBox* fc = nullptr;
  QCheckBox* chk_coco = nullptr;
  QCheckBox* chk_voc = nullptr;

 private:
  Dialogs& dialogs_;
};

}  // namespace orvane
