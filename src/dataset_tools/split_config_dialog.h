// SplitConfigDialog: the percentages of the train/val/test split and the label
// format of an export.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

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

  QSpinBox* ts = nullptr;
  QSpinBox* vs = nullptr;
  QSpinBox* tes = nullptr;
  QComboBox* fc = nullptr;

 private:
  Dialogs& dialogs_;
};

}  // namespace orvane
