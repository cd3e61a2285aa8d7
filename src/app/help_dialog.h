// HelpDialog: the user guide, one section per tab.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace orvane {

class HelpDialog : public QDialog {
  Q_OBJECT

 public:
  explicit HelpDialog(QWidget* parent = nullptr);

  QLabel* title_label = nullptr;
  QLabel* guide_label = nullptr;
  QPushButton* btn_close = nullptr;
};

// The guide as rich text.
QString help_guide_text();

}  // namespace orvane
